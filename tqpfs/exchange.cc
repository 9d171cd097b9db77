// One remote call over the TQP link; see exchange.h.
#include "tqpfs/exchange.h"

namespace trk::tqpfs {

uint8_t CheckRemoteNode(int node) {
  if (!TQPInstalled) return TQP_NOT_INSTALLED;
  if (node < 0 || node > kHighestNode) return TQP_BAD_NODE;
  return TQP_OK;
}

uint8_t Exchange(int node, TQPNodeAddress* address, std::span<const uint8_t> request, Answer& answer) {
  const auto target = static_cast<uint8_t>(node);
  answer.length = 0;
  uint8_t result = TQPIPSendRequest(target, address, request.data(), static_cast<uint8_t>(request.size()),
                                    answer.bytes.data(), &answer.length);
  for (int checks = 0; result == TQP_PENDING; ++checks) {
    if (checks == kMaxPendingChecks) return TQP_NO_ANSWER;
    answer.length = 0;
    result = TQPIPCheckRequest(target, address, answer.bytes.data(), &answer.length);
  }
  if (node == 0) answer.length = 0;
  return result;
}

FieldWriter NewRequest(Op op) {
  FieldWriter request;
  request.U8(static_cast<uint8_t>(op));
  return request;
}

}  // namespace trk::tqpfs
