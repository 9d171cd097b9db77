// Requests and responses between nodes, over whichever transport is installed.
//
// Requester side: each partner's entry holds the control of the next request,
// 2 (reset) at first and after silence, then 1, 0, 1, ... after every final
// answer (plain or flagged 0x10, 0x40, 0x20); a request met by
// silence is repeated with the same control up to `retries` more times. An
// answer counts only when it comes from the node addressed, carries the
// response bit and repeats the sequence bit sent.
// Serving side: each entry remembers the control of the last new request and
// the last response sent; a repeated request (same sequence bit, no reset bit)
// is answered again from that copy and never reaches the application.
//
// Every function here expects an installed link with a transport; the exported
// functions check arguments and installation first. Each call allocates one
// frame buffer and returns a result code.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "tqp/node_table.h"
#include "tqp/transport.h"

namespace trk::tqp {

struct TQPLinkState {
  bool ipMode = false;
  uint8_t ownNode = 0;
  uint8_t retries = 0;
  uint16_t timeoutMs = 0;  // TCP only
  std::string name;
  uint8_t reserved = 0;
  std::unique_ptr<Transport> transport;  // the serial port or the listening socket
  NodeTable nodes;
};

// Out-buffers of an answer; either may be absent.
struct AnswerOut {
  uint8_t* data = nullptr;  // 255 bytes
  uint8_t* length = nullptr;
};

uint8_t SendRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, std::span<const uint8_t> data,
                    AnswerOut answer);
uint8_t CheckRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, AnswerOut answer);
uint8_t AbortRequest(TQPLinkState& link, uint8_t node, TQPNodeAddress* address);

struct RequestOut {
  uint8_t* destination;
  TQPNodeAddress* address;  // may be absent
  uint8_t* source;
  uint8_t* data;  // 255 bytes
  uint8_t* length;
};
uint8_t GetRequest(TQPLinkState& link, RequestOut request);
uint8_t SendResponse(TQPLinkState& link, uint8_t node, TQPNodeAddress* address, std::span<const uint8_t> data,
                     uint8_t flags);

// The control of the next request after a check or an abort: 0 -> 1, 1 -> 0, 2 -> 1.
uint8_t ToggledControl(uint8_t controlByte);
// The control of the next request after a request that ended with `result`.
uint8_t NextControlAfterRequest(uint8_t sentControl, uint8_t result);

}  // namespace trk::tqp
