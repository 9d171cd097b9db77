// TQTQP32: the TQP link. Carries requests and responses between numbered nodes
// (1 to 255; 0 names no node) over a serial port ("COM1:" ... "COM8:", mapped to
// $TQP_COM1 ... or /dev/ttyS0 ...) or over TCP.
//
// Contract:
//  - Every function returns a one-byte result code (TQP_OK or one of the codes
//    below) and never throws. Response and data buffers hold 255 bytes.
//  - One installation at a time (TQPInstall or TQPIPInstall) until TQPUninstall.
//  - The library starts no threads and every call blocks on its caller's thread,
//    never longer than its time-outs. One lock guards the node table; it is safe
//    to call the connection-status functions from another thread, but callers
//    run one exchange at a time per link.
//  - Diagnostics are appended to "./TQP32.log" only when that file already exists.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TQP_EXPORT __attribute__((visibility("default")))

#pragma pack(push, 1)
// A node on TCP/IP: an IPv4 address in network byte order in the first four
// address bytes, and its kind (0 none, 4 IPv4, 6 IPv6).
typedef struct {
  uint8_t address[16];
  uint32_t kind;
} TQPNodeAddress;
#pragma pack(pop)

enum {
  TQP_OK = 0,
  TQP_ALREADY_INSTALLED = 200,
  TQP_NAME_TOO_LONG = 201,
  TQP_BAD_NODE = 202,
  TQP_BAD_PORT = 203,
  TQP_BAD_BAUD = 205,
  TQP_BAD_TIMEOUT = 206,
  TQP_BAD_LINE_MODE = 207,
  TQP_MISSING_ARGUMENT = 208,
  TQP_FLAG_10 = 209,
  TQP_NO_ANSWER = 210,
  TQP_ABORTED = 211,
  TQP_FLAG_40 = 212,
  TQP_FLAG_20 = 213,
  TQP_PENDING = 214,
  TQP_NOT_INSTALLED = 215,
  TQP_NO_MEMORY = 216,
  TQP_SOCKET_ERROR = 219,
  TQP_NO_CONNECTION = 220,
  TQP_BAD_IP_PORT = 222
};

// Flags a serving application may add to a response (TQPSendResponse).
enum { TQP_RESPONSE_FLAG_40 = 0x40, TQP_RESPONSE_FLAG_20 = 0x20 };

TQP_EXPORT extern int TQPInstalled;     // 1 while installed; read only
TQP_EXPORT extern const char* verTQTQP;  // "v1.22"

TQP_EXPORT uint8_t TQPInstall(uint8_t reserved, const char* name, uint8_t ownNode, const char* portName,
                              uint8_t baudIndex, uint8_t lineMode, uint16_t readIntervalTimeout, uint8_t retries);
TQP_EXPORT uint8_t TQPIPInstall(uint8_t reserved, const char* name, uint8_t ownNode, uint16_t timeout,
                                uint8_t retries, int tcpPort);
TQP_EXPORT uint8_t TQPUninstall(void);
TQP_EXPORT uint8_t TQPIPUninstall(void);
TQP_EXPORT uint8_t TQPGetInstallStatus(int* installed);
TQP_EXPORT uint8_t TQPGetVersion(char* text);

TQP_EXPORT uint8_t TQPSendRequest(uint8_t node, const uint8_t* data, uint8_t length, uint8_t* response,
                                  uint8_t* responseLength);
TQP_EXPORT uint8_t TQPIPSendRequest(uint8_t node, TQPNodeAddress* address, const uint8_t* data, uint8_t length,
                                    uint8_t* response, uint8_t* responseLength);
TQP_EXPORT uint8_t TQPGetRequest(uint8_t* destination, uint8_t* source, uint8_t* data, uint8_t* length);
TQP_EXPORT uint8_t TQPIPGetRequest(uint8_t* destination, TQPNodeAddress* address, uint8_t* source, uint8_t* data,
                                   uint8_t* length);
TQP_EXPORT uint8_t TQPCheckRequest(uint8_t node, uint8_t* response, uint8_t* responseLength);
TQP_EXPORT uint8_t TQPIPCheckRequest(uint8_t node, TQPNodeAddress* address, uint8_t* response,
                                     uint8_t* responseLength);
TQP_EXPORT uint8_t TQPAbortRequest(uint8_t node);
TQP_EXPORT uint8_t TQPIPAbortRequest(uint8_t node, TQPNodeAddress* address);
TQP_EXPORT uint8_t TQPSendResponse(uint8_t node, const uint8_t* data, uint8_t length, uint8_t flags);
TQP_EXPORT uint8_t TQPIPSendResponse(uint8_t node, TQPNodeAddress* address, const uint8_t* data, uint8_t length,
                                     uint8_t flags);
TQP_EXPORT uint8_t TQPGetProductInformation(uint8_t node, uint8_t* productCode, char* text);
TQP_EXPORT uint8_t TQPIPGetProductInformation(uint8_t node, TQPNodeAddress* address, uint8_t* productCode,
                                              char* text);

TQP_EXPORT uint8_t TQPMakeIPNodeKnown(uint8_t node, const uint8_t* ipv4, int tcpPort);
TQP_EXPORT uint8_t TQPIPGetConnectionStatus(uint8_t node, TQPNodeAddress* address, uint8_t* status);
TQP_EXPORT uint8_t TQPIPSetConnectionStatus(uint8_t node, TQPNodeAddress* address, uint8_t status);

TQP_EXPORT void TQPReverseBytes(uint8_t* bytes, uint32_t count);

#ifdef __cplusplus
}
static_assert(sizeof(TQPNodeAddress) == 20, "TQPNodeAddress travels as 20 packed bytes");
#endif
