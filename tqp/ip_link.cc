// TCP transport. The node-table lock is taken for each lookup or change and is
// released before any socket is waited on.
#include "tqp/ip_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tqp/frame_assembler.h"
#include "tqp/log.h"

namespace trk::tqp {
namespace {

constexpr int kMaxTcpPort = 65535;
// SocketForSending: the table has no entry for the node (a silent 220).
constexpr int kUnknownNode = -2;

int PollRetrying(pollfd* watches, nfds_t count, int timeoutMs) {
  int ready;
  do {
    ready = ::poll(watches, count, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready;
}

void SetOption(int socket, int level, int option) {
  const int on = 1;
  ::setsockopt(socket, level, option, &on, sizeof on);
}

sockaddr_in IPv4SocketAddress(const uint8_t* address, uint16_t port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  std::memcpy(&where.sin_addr.s_addr, address, 4);
  return where;
}

// A non-blocking stream socket bound to any local address and `port`.
int BoundSocket(uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket < 0) return kNoSocket;
  SetOption(socket, IPPROTO_TCP, TCP_NODELAY);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  if (port != 0) SetOption(socket, SOL_SOCKET, SO_REUSEADDR);
  if (::bind(socket, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    ::close(socket);
    return kNoSocket;
  }
  return socket;
}

// Connects to `entry`'s address and port within `timeoutMs`; the socket on
// success, kNoSocket (nothing left open) otherwise.
int ConnectWithin(const TQPNodeAddress& address, uint32_t port, int timeoutMs, int& error) {
  const int socket = BoundSocket(0);
  if (socket == kNoSocket) {
    error = errno;
    return kNoSocket;
  }
  const sockaddr_in where = IPv4SocketAddress(address.address, static_cast<uint16_t>(port));
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) return socket;
  error = errno;
  if (error == EINPROGRESS) {
    pollfd watch{socket, POLLOUT, 0};
    const int ready = PollRetrying(&watch, 1, timeoutMs);
    socklen_t size = sizeof error;
    error = ETIMEDOUT;
    if (ready > 0 && ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) return socket;
  }
  ::close(socket);
  return kNoSocket;
}

bool HasIPv4Address(const TQPNodeAddress& address) {
  return address.kind == kAddressKindIPv4 &&
         (address.address[0] | address.address[1] | address.address[2] | address.address[3]) != 0;
}

enum class ByteRead { kByte, kTimedOut, kWaitFailed, kClosed, kFailed };

// Reads one byte from a non-blocking connection, waiting at most `waitMs`.
ByteRead ReadByte(int socket, uint8_t& byte, int waitMs, int& error) {
  bool waited = false;
  while (true) {
    const ssize_t got = ::recv(socket, &byte, 1, MSG_DONTWAIT);
    if (got == 1) return ByteRead::kByte;
    if (got == 0) return ByteRead::kClosed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      return ByteRead::kFailed;
    }
    if (waited) return ByteRead::kTimedOut;
    pollfd watch{socket, POLLIN, 0};
    const int ready = PollRetrying(&watch, 1, waitMs);
    if (ready < 0) {
      error = errno;
      return ByteRead::kWaitFailed;
    }
    if (ready == 0) return ByteRead::kTimedOut;
    waited = true;
  }
}

}  // namespace

std::unique_ptr<IpLink> IpLink::Listen(int tcpPort, uint16_t timeoutMs, NodeTable& nodes) {
  if (tcpPort < 0 || tcpPort > kMaxTcpPort) return nullptr;
  const int listening = BoundSocket(static_cast<uint16_t>(tcpPort));
  if (listening == kNoSocket) return nullptr;
  if (::listen(listening, SOMAXCONN) != 0) {
    ::close(listening);
    return nullptr;
  }
  return std::unique_ptr<IpLink>(new IpLink(listening, timeoutMs, nodes));
}

IpLink::~IpLink() { ::close(listening_); }

int IpLink::SocketForSending(const TQPNodeAddress* address, uint8_t node, int& error) {
  struct Target {
    bool found = false;
    int socket = kNoSocket;
    TQPNodeAddress address{};
    uint32_t port = 0;
  };
  const Target target = nodes_.Locked([&](NodeList& list) {
    Target t;
    if (auto position = list.Find(address, node)) {
      const TQPNodeEntry& entry = list[*position];
      t = {true, entry.socket, entry.address, entry.tcpPort};
    }
    return t;
  });
  if (!target.found) return kUnknownNode;
  if (target.socket != kNoSocket) return target.socket;
  if (target.port == 0 || target.port > static_cast<uint32_t>(kMaxTcpPort) || !HasIPv4Address(target.address)) {
    error = 0;
    return kNoSocket;
  }
  // A failed attempt leaves the entry without a socket, so the next send tries again.
  const int connected = ConnectWithin(target.address, target.port, timeoutMs_, error);
  if (connected == kNoSocket) return kNoSocket;
  return nodes_.Locked([&](NodeList& list) {
    auto position = list.Find(address, node);
    if (!position) {
      ::close(connected);
      return kNoSocket;
    }
    TQPNodeEntry& entry = list[*position];
    if (entry.socket != kNoSocket) {
      ::close(connected);
      return entry.socket;
    }
    entry.socket = connected;
    entry.status = node_status::kConnected;
    return connected;
  });
}

uint8_t IpLink::TQPSendMessage(const TQPNodeAddress* address, std::span<const uint8_t> frame, uint8_t node) {
  int error = 0;
  const int socket = SocketForSending(address, node, error);
  if (socket == kUnknownNode) return TQP_NO_CONNECTION;
  if (socket == kNoSocket) {
    Log(message::kSetupFailed, error, node);
    return TQP_NO_CONNECTION;
  }
  const Deadline deadline = Deadline::AfterMs(timeoutMs_);
  size_t sent = 0;
  while (sent < frame.size()) {
    pollfd watch{socket, POLLOUT, 0};
    const int ready = PollRetrying(&watch, 1, deadline.RemainingMs(timeoutMs_));
    if (ready <= 0) {
      Log(message::kSelectSendFailed, ready < 0 ? errno : 0, node);
      return ready < 0 ? TQP_NO_CONNECTION : TQP_NO_ANSWER;
    }
    const ssize_t now = ::send(socket, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (now < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      Log(message::kSendFailed, errno, node);
      nodes_.EraseBySocket(socket, message::kEraseSendSocket);
      return TQP_NO_CONNECTION;
    }
    sent += static_cast<size_t>(now);
  }
  return TQP_OK;
}

uint8_t IpLink::TQPGetMessage(TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                              const Deadline& deadline) {
  rawLength = 0;
  if (node != 0) return GetFromNode(address, rawLength, node, raw, deadline);
  return GetFromAnyNode(address, rawLength, raw, deadline);
}

uint8_t IpLink::GetFromNode(const TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                            const Deadline& deadline) {
  const int socket = nodes_.Locked([&](NodeList& list) {
    auto position = list.Find(address, node);
    return position ? list[*position].socket : kNoSocket;
  });
  if (socket == kNoSocket) {
    Log(message::kSocketInvalid, 0, node);
    return TQP_SOCKET_ERROR;
  }
  pollfd watch{socket, POLLIN, 0};
  const int ready = PollRetrying(&watch, 1, deadline.RemainingMs(timeoutMs_));
  if (ready == 0) return TQP_NO_ANSWER;
  if (ready < 0) {
    Log(message::kSelectNodeFailed, errno, node);
    return TQP_SOCKET_ERROR;
  }
  return Assemble(socket, address, rawLength, raw, deadline);
}

uint8_t IpLink::GetFromAnyNode(TQPNodeAddress* address, uint16_t& rawLength, FrameBuffer& raw,
                               const Deadline& deadline) {
  std::vector<pollfd> watches;
  watches.push_back({listening_, POLLIN, 0});
  nodes_.Locked([&](NodeList& list) {
    for (const TQPNodeEntry& entry : list.entries()) {
      if (watches.size() == kMaxWatchedSockets) break;
      if (entry.socket == kNoSocket || (entry.status & node_status::kNotWatched)) continue;
      bool watched = false;
      for (const pollfd& w : watches) watched = watched || w.fd == entry.socket;
      if (!watched) watches.push_back({entry.socket, POLLIN, 0});
    }
  });
  const int ready = PollRetrying(watches.data(), watches.size(), 0);
  if (ready == 0) return TQP_NO_ANSWER;
  if (ready < 0) {
    Log(message::kSelectAnyFailed, errno);
    return TQP_SOCKET_ERROR;
  }
  if (watches[0].revents != 0) return AcceptCaller();

  struct Ready {
    int socket = kNoSocket;
    TQPNodeAddress address{};
  };
  const Ready chosen = nodes_.Locked([&](NodeList& list) {
    for (const TQPNodeEntry& entry : list.entries()) {
      for (size_t i = 1; i < watches.size(); ++i) {
        if (watches[i].revents != 0 && watches[i].fd == entry.socket) return Ready{entry.socket, entry.address};
      }
    }
    return Ready{};
  });
  if (chosen.socket == kNoSocket) {
    Log(message::kReadSocketInvalid, 0);
    return TQP_SOCKET_ERROR;
  }
  if (address != nullptr) *address = chosen.address;
  return Assemble(chosen.socket, &chosen.address, rawLength, raw, deadline);
}

uint8_t IpLink::AcceptCaller() {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  const int socket = ::accept4(listening_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (socket < 0) {
    Log(message::kAcceptFailed, errno);
    return TQP_SOCKET_ERROR;
  }
  SetOption(socket, IPPROTO_TCP, TCP_NODELAY);
  TQPNodeEntry entry;
  entry.node = 0;
  entry.status = node_status::kUnidentified;
  entry.socket = socket;
  std::memcpy(entry.address.address, &peer.sin_addr.s_addr, 4);
  entry.address.kind = kAddressKindIPv4;
  entry.tcpPort = ntohs(peer.sin_port);
  try {
    nodes_.Locked([&](NodeList& list) { list.Add(std::move(entry)); });
  } catch (...) {
    ::close(socket);
    throw;
  }
  Log(message::kAccepted, static_cast<unsigned>(socket));
  return TQP_NO_ANSWER;
}

uint8_t IpLink::Assemble(int socket, const TQPNodeAddress* filter, uint16_t& rawLength, FrameBuffer& raw,
                         const Deadline& deadline) {
  FrameAssembler assembler;
  while (true) {
    uint8_t byte = 0;
    int error = 0;
    const int wait = deadline.RemainingMs(timeoutMs_);
    switch (wait == 0 ? ByteRead::kTimedOut : ReadByte(socket, byte, wait, error)) {
      case ByteRead::kByte:
        break;
      case ByteRead::kTimedOut:
        return TQP_NO_ANSWER;
      case ByteRead::kWaitFailed:
        Log(message::kSelectReadFailed, error, static_cast<unsigned>(socket));
        return TQP_SOCKET_ERROR;
      case ByteRead::kClosed: {
        const size_t gathered = assembler.Position();
        if (gathered > 0) {
          Log(message::kPartialMessage, static_cast<int>(gathered + 1), static_cast<unsigned>(socket));
        } else {
          Log(message::kClosedByRemote, static_cast<unsigned>(socket));
        }
        nodes_.EraseBySocket(socket, message::kEraseConnection);
        return gathered > 0 ? TQP_NO_ANSWER : TQP_OK;
      }
      case ByteRead::kFailed:
        Log(message::kReceiveFailed, error, static_cast<unsigned>(socket));
        nodes_.EraseBySocket(socket, message::kEraseConnection);
        return TQP_SOCKET_ERROR;
    }
    switch (assembler.Feed(byte)) {
      case FrameAssembler::Step::kMore:
        break;
      case FrameAssembler::Step::kSource:
        IdentifyConnection(socket, byte, filter);
        break;
      case FrameAssembler::Step::kComplete:
        rawLength = static_cast<uint16_t>(assembler.Position());
        std::memcpy(raw.data(), assembler.Frame().data(), assembler.Position());
        return TQP_OK;
    }
  }
}

void IpLink::IdentifyConnection(int socket, uint8_t source, const TQPNodeAddress* filter) {
  if (source == 0) return;
  nodes_.Locked([&](NodeList& list) {
    auto own = list.Find(nullptr, 0, socket);
    if (!own || !(list[*own].status & node_status::kUnidentified)) return;
    if (auto previous = list.FindOther(filter, source, *own)) {
      list.Erase(*previous);
      Log(message::kRemovingPrevious, source);
      own = list.Find(nullptr, 0, socket);
      if (!own) return;
    }
    list[*own].node = source;
    list[*own].status = node_status::kConnected;
    Log(message::kCompleteConnection, source);
  });
}

}  // namespace trk::tqp
