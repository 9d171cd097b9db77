// Message formatting shared by the programs: each module keeps its own table of
// printf-style wordings, and fills them in here, safely.
//
// Contract:
//  - Formats use %s for texts and %u, %d and %x for numbers (length modifiers l
//    and h are accepted and change nothing); %% is a percent sign.
//  - Texts and numbers are taken from two separate queues in order, so a wording
//    that drops or adds a text still gets the right number.
//  - A specifier without an argument prints nothing; an unknown specifier is
//    printed as written. Nothing is read out of bounds, whatever a format holds.
//  - %u and %x print a negative number as its 32-bit two's complement, as the
//    registers' and the accounting system's 32-bit programs always printed it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "okv/okv.h"
#include "schema/catalogue.h"

namespace trk::schema {

// One argument of a message: a text or a number.
struct MessageArg {
  MessageArg(std::string_view text) : isText(true), text(text) {}  // NOLINT: implicit by design
  MessageArg(const char* text) : isText(true), text(text ? text : "") {}
  MessageArg(const std::string& text) : isText(true), text(text) {}
  template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
  MessageArg(Number number) : isText(false), number(static_cast<int64_t>(number)) {}

  bool isText;
  std::string_view text;
  int64_t number = 0;
};

// Fills in a format; a null format gives an empty text.
std::string FormatMessage(const char* format, std::span<const MessageArg> args);
inline std::string FormatMessage(const char* format, std::initializer_list<MessageArg> args) {
  return FormatMessage(format, std::span<const MessageArg>(args.begin(), args.size()));
}

// The engine's standard error line for a catalogue file:
// "%s Error %u on %s: %s" (without ": %s" for codes of 40 and above).
std::string EngineErrorLine(uint8_t code, OKVOperation operation, FileIndex file);

}  // namespace trk::schema
