// TQTQPF32: file-system and OKV database operations on a node, by node number.
// Node 0xFFFF is this machine: the operation is carried out here. Nodes 0 to 255
// are reached through the TQP link (TQTQP32), which the caller installs first;
// each operation is then one request (or, for records and key values longer
// than one frame, a few) and its answer.
//
// Contract:
//  - Every operation returns one byte, the transport result: 0 when the
//    operation was carried out (look at the out-arguments for what it gave),
//    208 a required pointer absent, 202 a node above 255, 215 the link not
//    installed, 213 a request that does not fit one frame, 216 no memory for a
//    local search, 218 an answer of unexpected length, or the link's own code
//    (210, 219, 220 ...), passed through unchanged. The OKV operations return
//    the engine's codes (okv/okv.h) where the file operations put -1 into
//    their out result. After a transport failure the out-arguments are untouched.
//  - Open flags, permission modes and seek origins carry the C run-time values
//    of the registers (TQP_O_*, TQP_S_*), for local calls and on the wire alike.
//  - Local operations of every process on the machine are serialised by the
//    named mutex "TQTQPF". Remote operations are not: run one exchange at a
//    time per link. Node 0 sends a request and awaits no answer, so a call for
//    node 0 returns the link's result and unpacks nothing.
//  - Nothing is thrown across this interface.
#pragma once

#include <stdint.h>

#include "okv/okv.h"
#include "tqp/tqp.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TQPFS_EXPORT __attribute__((visibility("default")))

enum { TQP_LOCAL_NODE = 0xFFFF, TQP_BAD_REPLY = 218 };

// Open flags.
enum {
  TQP_O_RDONLY = 0x0000,
  TQP_O_WRONLY = 0x0001,
  TQP_O_RDWR = 0x0002,
  TQP_O_APPEND = 0x0008,
  TQP_O_CREAT = 0x0100,
  TQP_O_TRUNC = 0x0200,
  TQP_O_EXCL = 0x0400,
  TQP_O_TEXT = 0x4000,
  TQP_O_BINARY = 0x8000
};
// Permission modes of a created file.
enum { TQP_S_IWRITE = 0x0080, TQP_S_IREAD = 0x0100 };
// Seek origins.
enum { TQP_SEEK_SET = 0, TQP_SEEK_CUR = 1, TQP_SEEK_END = 2 };
// Attributes of files and found entries; search flags use the same bits plus TQP_FIND_FILES.
enum {
  TQP_ATTR_READONLY = 0x01,
  TQP_ATTR_HIDDEN = 0x02,
  TQP_ATTR_SYSTEM = 0x04,
  TQP_ATTR_DIRECTORY = 0x10,
  TQP_ATTR_ARCHIVE = 0x20,
  TQP_FIND_FILES = 0x8000
};

#pragma pack(push, 1)
// A found directory entry: 249 bytes.
typedef struct {
  uint32_t attributes;
  uint32_t lastWriteTime;  // seconds since 1970
  uint32_t size;
  char shortName[13];  // the first 12 characters of the name
  char longName[224];  // at most 223 characters
} TQPFindInfo;
#pragma pack(pop)

TQPFS_EXPORT extern const char* verTQTQPF;  // "v1.09"

// Files.
TQPFS_EXPORT uint8_t TQPopen(int node, TQPNodeAddress* address, const char* path, int flags, int mode, int* handle);
TQPFS_EXPORT uint8_t TQPcreat(int node, TQPNodeAddress* address, const char* path, int mode, int* handle);
TQPFS_EXPORT uint8_t TQPclose(int node, TQPNodeAddress* address, int handle, int* result);
TQPFS_EXPORT uint8_t TQPcommit(int node, TQPNodeAddress* address, int handle, int* result);
TQPFS_EXPORT uint8_t TQPeof(int node, TQPNodeAddress* address, int handle, int* result);
TQPFS_EXPORT uint8_t TQPtell(int node, TQPNodeAddress* address, int handle, int* result);
TQPFS_EXPORT uint8_t TQPseteof(int node, TQPNodeAddress* address, int handle, int* result);
TQPFS_EXPORT uint8_t TQPread(int node, TQPNodeAddress* address, int handle, void* buffer, unsigned count,
                             int* countRead);
TQPFS_EXPORT uint8_t TQPwrite(int node, TQPNodeAddress* address, int handle, const void* buffer, unsigned count,
                              int* countWritten);
TQPFS_EXPORT uint8_t TQPlseek(int node, TQPNodeAddress* address, int handle, int offset, int origin, int* position);

// Names, folders, attributes and dates.
TQPFS_EXPORT uint8_t TQPremove(int node, TQPNodeAddress* address, const char* path, int* result);
TQPFS_EXPORT uint8_t TQPrename(int node, TQPNodeAddress* address, const char* oldPath, const char* newPath,
                               int* result);
TQPFS_EXPORT uint8_t TQPcdir(int node, TQPNodeAddress* address, const char* path, int* result);
TQPFS_EXPORT uint8_t TQPmdir(int node, TQPNodeAddress* address, const char* path, int* result);
TQPFS_EXPORT uint8_t TQPrdir(int node, TQPNodeAddress* address, const char* path, int* result);
TQPFS_EXPORT uint8_t TQPgdir(int node, TQPNodeAddress* address, uint8_t drive, char* directory /* 255 bytes */,
                             int* result);
TQPFS_EXPORT uint8_t TQPgetattrib(int node, TQPNodeAddress* address, const char* path, int* attributes,
                                  int* result);
TQPFS_EXPORT uint8_t TQPsetattrib(int node, TQPNodeAddress* address, const char* path, int attributes,
                                  int* result);
TQPFS_EXPORT uint8_t TQPgetdate(int node, TQPNodeAddress* address, const char* path, uint16_t* year,
                                uint8_t* month, uint8_t* day, uint8_t* hour, uint8_t* minute, uint8_t* second,
                                int* result);
TQPFS_EXPORT uint8_t TQPsetdate(int node, TQPNodeAddress* address, const char* path, uint16_t year, uint8_t month,
                                uint8_t day, uint8_t hour, uint8_t minute, uint8_t second, int* result);

// The node's clock and drives.
TQPFS_EXPORT uint8_t TQPgetosdate(int node, TQPNodeAddress* address, uint16_t* year, uint8_t* month, uint8_t* day,
                                  uint8_t* hour, uint8_t* minute, uint8_t* second, int* result);
TQPFS_EXPORT uint8_t TQPsetosdate(int node, TQPNodeAddress* address, uint16_t year, uint8_t month, uint8_t day,
                                  uint8_t hour, uint8_t minute, uint8_t second, int* result);
TQPFS_EXPORT uint8_t TQPgetdisk(int node, TQPNodeAddress* address, uint8_t* drive, int* result);
TQPFS_EXPORT uint8_t TQPsetdisk(int node, TQPNodeAddress* address, uint8_t drive, int* result);
TQPFS_EXPORT uint8_t TQPdrive(int node, TQPNodeAddress* address, uint8_t drive, uint32_t* bytesPerSector,
                              uint32_t* sectorsPerCluster, uint32_t* totalClusters, uint32_t* freeClusters,
                              int* result);

// Searches: result 0 found, 1 nothing (more) found, -1 unknown find handle.
TQPFS_EXPORT uint8_t TQPfirst(int node, TQPNodeAddress* address, const char* path, int flags, int* findHandle,
                              TQPFindInfo* info, int16_t* result);
TQPFS_EXPORT uint8_t TQPnext(int node, TQPNodeAddress* address, int findHandle, TQPFindInfo* info,
                             int16_t* result);
TQPFS_EXPORT uint8_t TQPclosefind(int node, TQPNodeAddress* address, int findHandle, int16_t* result);
TQPFS_EXPORT uint8_t TQPcloseallfinds(void);  // local searches only

// Requests whose meaning belongs to the serving node.
TQPFS_EXPORT uint8_t TQPabort(int node, TQPNodeAddress* address);
TQPFS_EXPORT uint8_t TQPslave(int node, TQPNodeAddress* address, uint16_t value);
TQPFS_EXPORT uint8_t TQPdownloadCount(int node, TQPNodeAddress* address, int* count);
TQPFS_EXPORT uint8_t TQPcompare(int node, TQPNodeAddress* address);
TQPFS_EXPORT uint8_t TQPfsreq(int node, TQPNodeAddress* address);

// The OKV engine's operations, with the engine's arguments after node and address.
TQPFS_EXPORT uint8_t TQPOKVAbortSession(int node, TQPNodeAddress* address);
TQPFS_EXPORT uint8_t TQPOKVBeginSession(int node, TQPNodeAddress* address);
TQPFS_EXPORT uint8_t TQPOKVEndSession(int node, TQPNodeAddress* address);
TQPFS_EXPORT uint8_t TQPOKVCreateFile(int node, TQPNodeAddress* address, const char* name, uint16_t openFlags,
                                      uint16_t recordSize, uint8_t encrypted, const uint8_t* recordKey32,
                                      const char* fileNameText, uint16_t fileId);
TQPFS_EXPORT uint8_t TQPOKVCreateKey(int node, TQPNodeAddress* address, const char* name, uint8_t keyType,
                                     uint16_t keyOffset, uint16_t keyLength, uint16_t* keyNumber);
TQPFS_EXPORT uint8_t TQPOKVFinalizeCreate(int node, TQPNodeAddress* address, const char* name);
TQPFS_EXPORT uint8_t TQPOKVDeleteFile(int node, TQPNodeAddress* address, const char* name);
TQPFS_EXPORT uint8_t TQPOKVFileExists(int node, TQPNodeAddress* address, const char* name, int* exists);
TQPFS_EXPORT uint8_t TQPOKVOpenFile(int node, TQPNodeAddress* address, const char* name, uint8_t openMode,
                                    uint16_t* handle);
TQPFS_EXPORT uint8_t TQPOKVCloseFile(int node, TQPNodeAddress* address, uint16_t handle);
TQPFS_EXPORT uint8_t TQPOKVFileInfo(int node, TQPNodeAddress* address, uint16_t handle, OKVFileInfoBuf* info);
TQPFS_EXPORT uint8_t TQPOKVKeyInfo(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                   OKVKeyInfoBuf* info);
TQPFS_EXPORT uint8_t TQPOKVSetFileName(int node, TQPNodeAddress* address, uint16_t handle, const char* text);
TQPFS_EXPORT uint8_t TQPOKVSetFileID(int node, TQPNodeAddress* address, uint16_t handle, uint16_t fileId);
TQPFS_EXPORT uint8_t TQPOKVNumRecords(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordCount,
                                      uint32_t* nodeCount);
TQPFS_EXPORT uint8_t TQPOKVSetKey(int node, TQPNodeAddress* address, uint16_t handle, const uint8_t* key32);
TQPFS_EXPORT uint8_t TQPOKVGetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t* flag);
TQPFS_EXPORT uint8_t TQPOKVSetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t flag);

TQPFS_EXPORT uint8_t TQPOKVCreateRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record);
TQPFS_EXPORT uint8_t TQPOKVCreateBTreeRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record);
TQPFS_EXPORT uint8_t TQPOKVUpdateRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record);
TQPFS_EXPORT uint8_t TQPOKVDeleteRec(int node, TQPNodeAddress* address, uint16_t handle);

TQPFS_EXPORT uint8_t TQPOKVReadRecEQ(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     const void* keyValue, void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecGE(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     const void* keyValue, void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecGT(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     const void* keyValue, void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecLE(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     const void* keyValue, void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecLT(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     const void* keyValue, void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecLO(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecHI(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecNX(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecPR(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                                     void* record);
TQPFS_EXPORT uint8_t TQPOKVReadRecIX(int node, TQPNodeAddress* address, uint16_t handle, uint32_t recordAddress,
                                     void* record);
TQPFS_EXPORT uint8_t TQPOKVGetRecIX(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordAddress);
TQPFS_EXPORT uint8_t TQPOKVReadRec(int node, TQPNodeAddress* address, uint16_t handle, void* record);

#ifdef __cplusplus
}
static_assert(sizeof(TQPFindInfo) == 249, "TQPFindInfo is 249 packed bytes");
#endif
