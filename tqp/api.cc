// The exported interface of TQTQP32: argument and installation checks in the
// documented order, then the exchange logic. Nothing thrown inside the library
// leaves it; the only thing that can throw is allocation, reported as 216.
#include <algorithm>
#include <cstring>
#include <new>

#include "tqp/exchange.h"
#include "tqp/ip_link.h"
#include "tqp/log.h"
#include "tqp/serial_link.h"
#include "tqp/tqp.h"

extern "C" {
TQP_EXPORT int TQPInstalled = 0;
TQP_EXPORT const char* verTQTQP = "v1.22";
}

namespace trk::tqp {
namespace {

constexpr size_t kNameLimit = 16;  // names of 16 characters or more are refused
constexpr uint16_t kMinTimeoutMs = 100;
constexpr size_t kProductTextSize = 253;
constexpr uint8_t kProductInformationRequest = 0x00;

// The link's one global state, there from the first call on.
TQPLinkState& Link() {
  static TQPLinkState link;
  return link;
}

template <typename Body>
uint8_t Guarded(Body&& body) {
  try {
    return body();
  } catch (...) {
    return TQP_NO_MEMORY;
  }
}

uint8_t CheckNameAndNode(const char* name, uint8_t ownNode) {
  if (TQPInstalled) return TQP_ALREADY_INSTALLED;
  if (name == nullptr) return TQP_MISSING_ARGUMENT;
  if (strnlen(name, kNameLimit) >= kNameLimit) return TQP_NAME_TOO_LONG;
  if (ownNode == 0) return TQP_BAD_NODE;
  return TQP_OK;
}

// Entries made known while uninstalled are kept: uninstalling already empties the table.
void CompleteInstallation(uint8_t reserved, const char* name, uint8_t ownNode, uint8_t retries, bool ipMode,
                          std::unique_ptr<Transport> transport) {
  TQPLinkState& link = Link();
  link.ipMode = ipMode;
  link.reserved = reserved;
  link.name = name;
  link.ownNode = ownNode;
  link.retries = retries;
  link.transport = std::move(transport);
  TQPInstalled = 1;
}

uint8_t ProductInformation(uint8_t node, TQPNodeAddress* address, uint8_t* productCode, char* text) {
  if (!TQPInstalled) return TQP_NOT_INSTALLED;
  if (node == 0) return TQP_BAD_NODE;
  if (productCode == nullptr && text == nullptr) return TQP_MISSING_ARGUMENT;
  const uint8_t request[] = {kProductInformationRequest};
  uint8_t response[kMaxDataLength] = {};
  uint8_t length = 0;
  const uint8_t result = SendRequest(Link(), node, address, request, {response, &length});
  if (result != TQP_OK) return result;
  if (response[0] != TQP_OK) return response[0];
  if (productCode != nullptr) *productCode = response[1];
  if (text != nullptr) {
    const size_t textLength = strnlen(reinterpret_cast<const char*>(response + 2), kProductTextSize - 1);
    std::memcpy(text, response + 2, textLength);
    text[textLength] = '\0';
  }
  return TQP_OK;
}

}  // namespace
}  // namespace trk::tqp

using namespace trk::tqp;

extern "C" {

uint8_t TQPInstall(uint8_t reserved, const char* name, uint8_t ownNode, const char* portName, uint8_t baudIndex,
                   uint8_t lineMode, uint16_t readIntervalTimeout, uint8_t retries) {
  return Guarded([&]() -> uint8_t {
    if (const uint8_t rc = CheckNameAndNode(name, ownNode)) return rc;
    if (readIntervalTimeout < kMinTimeoutMs) return TQP_BAD_TIMEOUT;
    if (portName == nullptr) return TQP_MISSING_ARGUMENT;
    if (baudIndex >= kBaudIndexCount) return TQP_BAD_BAUD;
    if (lineMode >= kLineModeCount) return TQP_BAD_LINE_MODE;
    const std::optional<uint8_t> portIndex = PortIndexOfName(portName);
    if (!portIndex) return TQP_BAD_PORT;
    SerialPort port;
    const uint32_t baudRate = BaudRateOfIndex(baudIndex);
    if (!port.Open(DeviceOfPort(*portIndex), baudRate)) return TQP_NO_CONNECTION;
    CompleteInstallation(reserved, name, ownNode, retries, false,
                         std::make_unique<SerialLink>(std::move(port), lineMode, baudRate, Link().nodes));
    return TQP_OK;
  });
}

uint8_t TQPIPInstall(uint8_t reserved, const char* name, uint8_t ownNode, uint16_t timeout, uint8_t retries,
                     int tcpPort) {
  return Guarded([&]() -> uint8_t {
    if (const uint8_t rc = CheckNameAndNode(name, ownNode)) return rc;
    if (timeout < kMinTimeoutMs) return TQP_BAD_TIMEOUT;
    std::unique_ptr<IpLink> listening = IpLink::Listen(tcpPort, timeout, Link().nodes);
    if (!listening) return TQP_NO_CONNECTION;
    Link().timeoutMs = timeout;
    CompleteInstallation(reserved, name, ownNode, retries, true, std::move(listening));
    return TQP_OK;
  });
}

uint8_t TQPUninstall(void) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    TQPLinkState& link = Link();
    const size_t count = link.nodes.Locked([](NodeList& nodes) { return nodes.size(); });
    Log(message::kUninstallConnections, static_cast<int>(count));
    link.nodes.Locked([](NodeList& nodes) { nodes.Clear(); });
    if (link.ipMode) Log(message::kUninstallSocket);
    link.transport.reset();
    TQPInstalled = 0;
    return TQP_OK;
  });
}

uint8_t TQPIPUninstall(void) { return TQPUninstall(); }

uint8_t TQPGetInstallStatus(int* installed) {
  if (installed == nullptr) return TQP_MISSING_ARGUMENT;
  *installed = TQPInstalled;
  return TQP_OK;
}

uint8_t TQPGetVersion(char* text) {
  if (text == nullptr) return TQP_MISSING_ARGUMENT;
  std::strcpy(text, verTQTQP);
  return TQP_OK;
}

uint8_t TQPIPSendRequest(uint8_t node, TQPNodeAddress* address, const uint8_t* data, uint8_t length,
                         uint8_t* response, uint8_t* responseLength) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    if (data == nullptr) return TQP_MISSING_ARGUMENT;
    return SendRequest(Link(), node, address, {data, length}, {response, responseLength});
  });
}

uint8_t TQPSendRequest(uint8_t node, const uint8_t* data, uint8_t length, uint8_t* response,
                       uint8_t* responseLength) {
  return TQPIPSendRequest(node, nullptr, data, length, response, responseLength);
}

uint8_t TQPIPGetRequest(uint8_t* destination, TQPNodeAddress* address, uint8_t* source, uint8_t* data,
                        uint8_t* length) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    if (destination == nullptr || source == nullptr || data == nullptr || length == nullptr) {
      return TQP_MISSING_ARGUMENT;
    }
    return GetRequest(Link(), {destination, address, source, data, length});
  });
}

uint8_t TQPGetRequest(uint8_t* destination, uint8_t* source, uint8_t* data, uint8_t* length) {
  return TQPIPGetRequest(destination, nullptr, source, data, length);
}

uint8_t TQPIPCheckRequest(uint8_t node, TQPNodeAddress* address, uint8_t* response, uint8_t* responseLength) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    if (node == 0) return TQP_BAD_NODE;
    return CheckRequest(Link(), node, address, {response, responseLength});
  });
}

uint8_t TQPCheckRequest(uint8_t node, uint8_t* response, uint8_t* responseLength) {
  return TQPIPCheckRequest(node, nullptr, response, responseLength);
}

uint8_t TQPIPAbortRequest(uint8_t node, TQPNodeAddress* address) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    if (node == 0) return TQP_BAD_NODE;
    return AbortRequest(Link(), node, address);
  });
}

uint8_t TQPAbortRequest(uint8_t node) { return TQPIPAbortRequest(node, nullptr); }

uint8_t TQPIPSendResponse(uint8_t node, TQPNodeAddress* address, const uint8_t* data, uint8_t length,
                          uint8_t flags) {
  return Guarded([&]() -> uint8_t {
    if (!TQPInstalled) return TQP_NOT_INSTALLED;
    if (data == nullptr) return TQP_MISSING_ARGUMENT;
    return SendResponse(Link(), node, address, {data, length}, flags);
  });
}

uint8_t TQPSendResponse(uint8_t node, const uint8_t* data, uint8_t length, uint8_t flags) {
  return TQPIPSendResponse(node, nullptr, data, length, flags);
}

uint8_t TQPIPGetProductInformation(uint8_t node, TQPNodeAddress* address, uint8_t* productCode, char* text) {
  return Guarded([&] { return ProductInformation(node, address, productCode, text); });
}

uint8_t TQPGetProductInformation(uint8_t node, uint8_t* productCode, char* text) {
  return TQPIPGetProductInformation(node, nullptr, productCode, text);
}

uint8_t TQPMakeIPNodeKnown(uint8_t node, const uint8_t* ipv4, int tcpPort) {
  return Guarded([&]() -> uint8_t {
    if (node == 0) return TQP_BAD_NODE;
    if (tcpPort < 0 || tcpPort > 65535) return TQP_BAD_IP_PORT;
    TQPNodeEntry entry;
    entry.node = node;
    entry.status = node_status::kUnidentified;
    if (ipv4 != nullptr) std::memcpy(entry.address.address, ipv4, 4);
    entry.address.kind = kAddressKindIPv4;
    entry.tcpPort = static_cast<uint32_t>(tcpPort);
    Link().nodes.Locked([&](NodeList& nodes) { nodes.Add(std::move(entry)); });
    return TQP_OK;
  });
}

uint8_t TQPIPGetConnectionStatus(uint8_t node, TQPNodeAddress* address, uint8_t* status) {
  return Guarded([&]() -> uint8_t {
    if (status == nullptr) return TQP_MISSING_ARGUMENT;
    return Link().nodes.Locked([&](NodeList& nodes) -> uint8_t {
      const auto position = nodes.Find(address, node);
      if (!position) return TQP_BAD_NODE;
      *status = nodes[*position].status;
      return TQP_OK;
    });
  });
}

uint8_t TQPIPSetConnectionStatus(uint8_t node, TQPNodeAddress* address, uint8_t status) {
  return Guarded([&]() -> uint8_t {
    if (node == 0) return TQP_BAD_NODE;
    return Link().nodes.Locked([&](NodeList& nodes) -> uint8_t {
      const auto position = nodes.Find(address, node);
      if (!position) return TQP_BAD_NODE;
      nodes[*position].status = status;
      return TQP_OK;
    });
  });
}

void TQPReverseBytes(uint8_t* bytes, uint32_t count) {
  if (bytes != nullptr) std::reverse(bytes, bytes + count);
}

}  // extern "C"
