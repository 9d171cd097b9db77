// The exchange logic. The node-table lock is held only around lookups and
// updates; sending and receiving happen outside it. Every wait for an answer is
// bounded by the transport's answer window, so a partner that keeps talking
// without answering cannot hold a caller beyond its time-outs.
#include "tqp/exchange.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "tqp/frame.h"

namespace trk::tqp {
namespace {

constexpr auto kCheckDelay = std::chrono::milliseconds(250);

std::unique_ptr<FrameBuffer> NewFrameBuffer() { return std::unique_ptr<FrameBuffer>(new (std::nothrow) FrameBuffer); }

struct Answer {
  ParsedFrame frame;
  DataBuffer data{};
};

// How a frame that is not the awaited answer is treated while waiting.
enum class WaitRule {
  kRequest,  // skip it and keep waiting
  kAbort,    // skip only stray abort (211) and flag 0x10 (209) answers; anything else ends the pass
};

bool IsAwaitedAnswer(const ParsedFrame& frame, uint8_t node, uint8_t sentControl) {
  return frame.source == node && (frame.control & control::kResponse) &&
         ((frame.control ^ sentControl) & control::kSequence) == 0;
}

// One wait for the answer of `node` to a frame sent with `sentControl`.
// 0 or the answer's status with `answer` filled, 210 when none came, or a transport error.
uint8_t AwaitAnswer(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, uint8_t sentControl, WaitRule rule,
                    FrameBuffer& raw, Answer& answer) {
  const Deadline deadline = Deadline::AfterMs(link.transport->AnswerWindowMs());
  while (true) {
    uint16_t rawLength = 0;
    const uint8_t received = link.transport->TQPGetMessage(address, rawLength, node, raw, deadline);
    if (received != TQP_OK) return received;
    ParsedFrame frame;
    const bool valid = TQPParseFrame({raw.data(), rawLength}, link.ownNode, frame, &answer.data);
    const bool awaited = valid && IsAwaitedAnswer(frame, node, sentControl);
    if (rule == WaitRule::kAbort) {
      const bool abortLike = valid && (frame.status == TQP_ABORTED || frame.status == TQP_FLAG_10);
      if (abortLike && awaited) {
        answer.frame = frame;
        return frame.status;
      }
      if (!abortLike) return TQP_NO_ANSWER;
      continue;
    }
    if (awaited) {
      answer.frame = frame;
      return frame.status;
    }
  }
}

void Deliver(const Answer& answer, AnswerOut out) {
  if (out.data != nullptr) std::memcpy(out.data, answer.data.data(), answer.frame.length);
  if (out.length != nullptr) *out.length = answer.frame.length;
}

struct Attempts {
  uint8_t node;
  TQPNodeAddress* address;
  uint8_t control;
  std::span<const uint8_t> data;
  WaitRule rule;
  bool pauseFirst;  // checks give the partner time before each attempt
};

// Sends and waits up to retries + 1 times while the partner stays silent.
uint8_t RunAttempts(TQPLinkState& link, const Attempts& attempts, FrameBuffer& frame, Answer& answer) {
  for (int attempt = 0; attempt <= link.retries; ++attempt) {
    if (attempts.pauseFirst) std::this_thread::sleep_for(kCheckDelay);
    const uint16_t length = TQPBuildFrame(frame, link.ownNode, attempts.node, attempts.control, attempts.data);
    const uint8_t sent = link.transport->TQPSendMessage(attempts.address, {frame.data(), length}, attempts.node);
    if (sent == TQP_NO_CONNECTION) return sent;
    if (sent != TQP_OK) continue;
    if (attempts.node == 0) return TQP_OK;
    const uint8_t result = AwaitAnswer(link, attempts.node, attempts.address, attempts.control, attempts.rule, frame,
                                       answer);
    if (result != TQP_NO_ANSWER) return result;
  }
  return TQP_NO_ANSWER;
}

void UpdateNextControl(TQPLinkState& link, uint8_t node, const TQPNodeAddress* address, uint8_t value) {
  link.nodes.Locked([&](NodeList& nodes) {
    if (auto position = nodes.Find(address, node)) nodes[*position].nextRequestControl = value;
  });
}

// The entry's next request control, or none when the node is not in the table.
std::optional<uint8_t> NextControlOf(TQPLinkState& link, uint8_t node, const TQPNodeAddress* address) {
  return link.nodes.Locked([&](NodeList& nodes) -> std::optional<uint8_t> {
    if (auto position = nodes.Find(address, node)) return nodes[*position].nextRequestControl;
    return std::nullopt;
  });
}

// Checks and aborts share everything but the bit they add and how they wait.
uint8_t SendFollowUp(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, uint8_t bit, WaitRule rule,
                     bool pauseFirst, AnswerOut out) {
  auto frame = NewFrameBuffer();
  if (!frame) return TQP_NO_MEMORY;
  const std::optional<uint8_t> next = NextControlOf(link, node, address);
  if (!next) return TQP_NO_ANSWER;
  Answer answer;
  const Attempts attempts{node, address, static_cast<uint8_t>(*next | bit), {}, rule, pauseFirst};
  const uint8_t result = RunAttempts(link, attempts, *frame, answer);
  if (result != TQP_NO_CONNECTION && result != TQP_SOCKET_ERROR) {
    UpdateNextControl(link, node, address, ToggledControl(*next));
  }
  if (result != TQP_NO_ANSWER && result != TQP_NO_CONNECTION && result != TQP_SOCKET_ERROR) Deliver(answer, out);
  return result;
}

}  // namespace

uint8_t ToggledControl(uint8_t controlByte) { return controlByte == 1 ? 0 : 1; }

uint8_t NextControlAfterRequest(uint8_t sentControl, uint8_t result) {
  switch (result) {
    case TQP_NO_ANSWER:
      return kInitialControl;
    // A flagged answer is final too: repeating its sequence bit would make the
    // partner take the next request for a repeat and send the old answer again.
    case TQP_OK:
    case TQP_FLAG_10:
    case TQP_FLAG_40:
    case TQP_FLAG_20:
      return sentControl == 1 ? 0 : 1;
    default:  // pending (checked with the same bit) or aborted
      return sentControl;
  }
}

uint8_t SendRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, std::span<const uint8_t> data,
                    AnswerOut out) {
  auto frame = NewFrameBuffer();
  if (!frame) return TQP_NO_MEMORY;
  std::optional<uint8_t> controlByte = NextControlOf(link, node, address);
  if (!controlByte) {
    if (link.ipMode) return TQP_NO_CONNECTION;
    controlByte = kInitialControl;
    if (node != 0) {
      TQPNodeEntry entry;
      entry.node = node;
      if (address != nullptr) entry.address = *address;
      link.nodes.Locked([&](NodeList& nodes) { nodes.Add(std::move(entry)); });
    }
  }
  Answer answer;
  const Attempts attempts{node, address, *controlByte, data, WaitRule::kRequest, false};
  const uint8_t result = RunAttempts(link, attempts, *frame, answer);
  if (result != TQP_NO_CONNECTION && result != TQP_SOCKET_ERROR) {
    UpdateNextControl(link, node, address, NextControlAfterRequest(*controlByte, result));
  }
  if (node != 0 && result != TQP_NO_ANSWER && result != TQP_NO_CONNECTION && result != TQP_SOCKET_ERROR) {
    Deliver(answer, out);
  }
  return result;
}

uint8_t CheckRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, AnswerOut out) {
  return SendFollowUp(link, node, address, control::kCheck, WaitRule::kRequest, true, out);
}

uint8_t AbortRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address) {
  return SendFollowUp(link, node, address, control::kAbort, WaitRule::kAbort, false, {});
}

uint8_t GetRequest(TQPLinkState& link, RequestOut out) {
  auto frame = NewFrameBuffer();
  if (!frame) return TQP_NO_MEMORY;
  // Repeated requests and stray frames are handled here without the
  // application; the window keeps a chatty line from holding the caller.
  const Deadline deadline = Deadline::AfterMs(link.transport->AnswerWindowMs());
  while (!deadline.Expired()) {
    if (out.address != nullptr) *out.address = {};
    uint16_t rawLength = 0;
    const uint8_t received = link.transport->TQPGetMessage(out.address, rawLength, 0, *frame, deadline);
    if (received != TQP_OK) return received;
    if (rawLength == 0) continue;

    ParsedFrame request;
    DataBuffer data{};
    if (!TQPParseFrame({frame->data(), rawLength}, link.ownNode, request, &data)) continue;

    enum class Verdict { kDeliver, kSkip, kRepeat };
    std::vector<uint8_t> savedResponse;
    const Verdict verdict = link.nodes.Locked([&](NodeList& nodes) {
      auto position = nodes.Find(out.address, request.source);
      if (!position) return Verdict::kDeliver;
      TQPNodeEntry& entry = nodes[*position];
      if (request.control & control::kResponse) return Verdict::kSkip;
      const uint8_t last = entry.lastRequestControl;
      const bool isNew = ((request.control ^ last) & control::kSequence) != 0 ||
                         (request.control & control::kReset) != 0 || (last & control::kReset) != 0;
      if (isNew) {
        entry.lastRequestControl = request.control;
        return Verdict::kDeliver;
      }
      savedResponse = entry.savedResponse;
      return Verdict::kRepeat;
    });

    if (verdict == Verdict::kDeliver) {
      *out.destination = request.destination;
      *out.source = request.source;
      std::memcpy(out.data, data.data(), data.size());
      *out.length = request.length;
      return request.status;
    }
    if (verdict == Verdict::kRepeat && !savedResponse.empty()) {
      const uint8_t sent = link.transport->TQPSendMessage(out.address, savedResponse, request.source);
      if (sent != TQP_OK) return sent;
    }
  }
  return TQP_NO_ANSWER;
}

uint8_t SendResponse(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, std::span<const uint8_t> data,
                     uint8_t flags) {
  auto frame = NewFrameBuffer();
  if (!frame) return TQP_NO_MEMORY;
  const std::optional<uint8_t> last = link.nodes.Locked([&](NodeList& nodes) -> std::optional<uint8_t> {
    if (auto position = nodes.Find(address, node)) return nodes[*position].lastRequestControl;
    return std::nullopt;
  });
  if (!last) return TQP_NO_CONNECTION;
  const auto controlByte =
      static_cast<uint8_t>((flags & (control::kFlag40 | control::kFlag20)) | *last | control::kResponse);
  const uint16_t length = TQPBuildFrame(*frame, link.ownNode, node, controlByte, data);
  const uint8_t sent = link.transport->TQPSendMessage(address, {frame->data(), length}, node);
  if (sent != TQP_OK) return sent;
  link.nodes.Locked([&](NodeList& nodes) {
    auto position = nodes.Find(address, node);
    if (!position) return;
    std::vector<uint8_t>& saved = nodes[*position].savedResponse;
    try {
      saved.assign(frame->begin(), frame->begin() + length);
    } catch (const std::bad_alloc&) {
      saved.clear();
      saved.shrink_to_fit();
    }
  });
  return TQP_OK;
}

}  // namespace trk::tqp
