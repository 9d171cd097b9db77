// The TQP link on TCP: a listening socket for nodes that call in, and one
// connection per partner node, opened on demand for nodes made known with an
// address and port, or accepted and identified by the source byte of its first
// frame. All sockets are non-blocking; every wait (connect, room to send, the
// next byte) is bounded by the link's time-out and by the caller's deadline.
//
// Waiting for any node does not wait: it looks once at the listening socket and
// at every watched connection (status without 0x04, at most 63), accepts a
// caller (then reports 210), or reads the first connection that has data.
#pragma once

#include <cstdint>
#include <memory>

#include "tqp/node_table.h"
#include "tqp/transport.h"

namespace trk::tqp {

inline constexpr size_t kMaxWatchedSockets = 64;  // the listening socket included

class IpLink : public Transport {
 public:
  // Listens on `tcpPort` on every local address. Null when the socket cannot be made.
  static std::unique_ptr<IpLink> Listen(int tcpPort, uint16_t timeoutMs, NodeTable& nodes);
  ~IpLink() override;

  uint8_t TQPSendMessage(const TQPNodeAddress* address, std::span<const uint8_t> frame, uint8_t node) override;
  uint8_t TQPGetMessage(TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                        const Deadline& deadline) override;
  uint32_t AnswerWindowMs() const override { return 2u * timeoutMs_; }

 private:
  IpLink(int listening, uint16_t timeoutMs, NodeTable& nodes)
      : listening_(listening), timeoutMs_(timeoutMs), nodes_(nodes) {}

  // The entry's connection, opened now when it has none but an address and a port.
  int SocketForSending(const TQPNodeAddress* address, uint8_t node, int& error);
  uint8_t GetFromNode(const TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                      const Deadline& deadline);
  uint8_t GetFromAnyNode(TQPNodeAddress* address, uint16_t& rawLength, FrameBuffer& raw, const Deadline& deadline);
  uint8_t AcceptCaller();
  uint8_t Assemble(int socket, const TQPNodeAddress* filter, uint16_t& rawLength, FrameBuffer& raw,
                   const Deadline& deadline);
  void IdentifyConnection(int socket, uint8_t source, const TQPNodeAddress* filter);

  int listening_;
  uint16_t timeoutMs_;
  NodeTable& nodes_;
};

}  // namespace trk::tqp
