// The client's side of one remote call over the TQP link: the node checks, the
// exchange of a request for its answer (polling while the node reports it
// pending), and the reading of answers of the remote file service.
#pragma once

#include <cstdint>
#include <span>

#include "tqp/tqp.h"
#include "tqpfs/fields.h"
#include "tqpfs/request.h"

namespace trk::tqpfs {

inline constexpr int kLocalNode = 0xFFFF;
inline constexpr int kHighestNode = 255;
inline constexpr uint8_t kBadReply = 218;
// A node that keeps reporting its answer pending is given up after this many
// checks (each waits 250 ms first: some five minutes), with TQP_NO_ANSWER.
inline constexpr int kMaxPendingChecks = 1200;

struct Answer {
  FrameData bytes{};
  uint8_t length = 0;
  std::span<const uint8_t> view() const { return {bytes.data(), length}; }
};

inline bool IsLocalNode(int node) { return node == kLocalNode; }

// 215 when the link is not installed, 202 for a node above 255, else 0.
uint8_t CheckRemoteNode(int node);

// Sends the request and waits for its answer. Node 0 awaits none: the result
// is the link's, with an empty answer.
uint8_t Exchange(int node, TQPNodeAddress* address, std::span<const uint8_t> request, Answer& answer);

// A request of `op` with its fields still to be added.
FieldWriter NewRequest(Op op);

}  // namespace trk::tqpfs
