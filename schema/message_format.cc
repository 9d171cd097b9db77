// Implementation of the shared message formatter; see message_format.h.
#include "schema/message_format.h"

#include <charconv>

namespace trk::schema {

namespace {

void AppendNumber(std::string& out, int64_t number, char conversion) {
  char digits[24];
  std::to_chars_result result{};
  if (conversion == 'd') {
    result = std::to_chars(digits, digits + sizeof digits, number);
  } else {
    const uint64_t value = number < 0 ? static_cast<uint32_t>(number) : static_cast<uint64_t>(number);
    result = std::to_chars(digits, digits + sizeof digits, value, conversion == 'x' ? 16 : 10);
  }
  out.append(digits, result.ptr);
}

}  // namespace

std::string FormatMessage(const char* format, std::span<const MessageArg> args) {
  std::string out;
  if (format == nullptr) return out;
  auto nextText = args.begin();
  auto nextNumber = args.begin();
  auto take = [&args](auto& cursor, bool text) -> const MessageArg* {
    while (cursor != args.end() && cursor->isText != text) ++cursor;
    return cursor == args.end() ? nullptr : &*cursor++;
  };
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    const char* start = p++;
    while (*p == 'l' || *p == 'h') ++p;  // length modifiers change nothing here
    const char conversion = *p;
    if (conversion == '%') {
      out += '%';
    } else if (conversion == 's') {
      if (const MessageArg* arg = take(nextText, true)) out += arg->text;
    } else if (conversion == 'u' || conversion == 'd' || conversion == 'x') {
      if (const MessageArg* arg = take(nextNumber, false)) AppendNumber(out, arg->number, conversion);
    } else {
      out.append(start, conversion == '\0' ? p : p + 1);
      if (conversion == '\0') break;
    }
  }
  return out;
}

std::string EngineErrorLine(uint8_t code, OKVOperation operation, FileIndex file) {
  char line[512];
  return OKVFormatError(code, line, sizeof line, operation, FileNameOf(file));
}

}  // namespace trk::schema
