// Field converters over TQLib32's checks.
#include "tqload/field_convert.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "tqlib/tqlib.h"

namespace trk::tqload {

std::string_view TrimTrailingSpaces(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

double DecimalValue(std::string_view text) {
  const std::string terminated(text);
  return std::strtod(terminated.c_str(), nullptr);
}

uint8_t ConvertDouble(std::string_view text, double minimum, double maximum, double& out) {
  const std::string terminated(text);
  if (!IsFloatingPoint(terminated.c_str())) return kWrongType;
  const double value = std::strtod(terminated.c_str(), nullptr);
  if (!(value >= minimum && value <= maximum)) return kOutOfRange;
  out = value;
  return kFieldOk;
}

uint8_t ConvertInteger(std::string_view text, long long& out) {
  const std::string terminated(text);
  if (!IsInteger(terminated.c_str())) return kWrongType;
  // strtoll saturates instead of overflowing, which every range check refuses.
  out = std::strtoll(terminated.c_str(), nullptr, 10);
  return kFieldOk;
}

uint8_t ConvertShort(std::string_view text, int16_t& out) {
  long long value = 0;
  const uint8_t rc = ConvertInteger(text, value);
  if (rc != kFieldOk) return rc;
  if (value < INT16_MIN || value > INT16_MAX) return kOutOfRange;
  out = static_cast<int16_t>(value);
  return kFieldOk;
}

uint8_t ConvertByte(std::string_view text, uint8_t minimum, uint8_t maximum, uint8_t& out) {
  long long value = 0;
  const uint8_t rc = ConvertInteger(text, value);
  if (rc != kFieldOk) return rc;
  if (value < minimum || value > maximum) return kOutOfRange;
  out = static_cast<uint8_t>(value);
  return kFieldOk;
}

uint8_t ConvertTextSpan(std::string_view text, char* field, size_t fieldSize, size_t maximum) {
  const std::string_view trimmed = TrimTrailingSpaces(text);
  if (trimmed.empty()) return kRequiredEmpty;
  if (trimmed.size() > maximum || trimmed.size() >= fieldSize) return kOutOfRange;
  std::memcpy(field, trimmed.data(), trimmed.size());
  std::memset(field + trimmed.size(), 0, fieldSize - trimmed.size());
  return kFieldOk;
}

}  // namespace trk::tqload
