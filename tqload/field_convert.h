// The field converters that every record handler shares, and their result codes.
//
// Each converter takes a field's text (any bytes, not necessarily NUL-terminated)
// and returns 0 or one of the field results; on failure the output is unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "schema/records.h"

namespace trk::tqload {

inline constexpr uint8_t kFieldOk = 0;
inline constexpr uint8_t kWrongType = 100;     // not a number where one is needed
inline constexpr uint8_t kOutOfRange = 101;    // value out of range or text too long
inline constexpr uint8_t kRequiredEmpty = 102;  // a required field is empty
inline constexpr uint8_t kTooManyFields = 103;  // more fields than the record type has
inline constexpr uint8_t kAllocationFailed = 32;  // the tax lists could not grow

std::string_view TrimTrailingSpaces(std::string_view text);

// IsFloatingPoint, then the C library's conversion, then [minimum, maximum].
uint8_t ConvertDouble(std::string_view text, double minimum, double maximum, double& out);
// IsInteger, then the value; a value beyond 16 bits is out of range.
uint8_t ConvertShort(std::string_view text, int16_t& out);
// IsInteger, then [minimum, maximum].
uint8_t ConvertByte(std::string_view text, uint8_t minimum, uint8_t maximum, uint8_t& out);
// IsInteger, then the value, saturated far beyond any range a caller checks.
uint8_t ConvertInteger(std::string_view text, long long& out);
// The text of a plain decimal (for ranges that are checked before IsVolume).
double DecimalValue(std::string_view text);

// Trailing spaces removed; empty gives 102; more than `maximum` characters 101.
uint8_t ConvertTextSpan(std::string_view text, char* field, size_t fieldSize, size_t maximum);

template <size_t N>
uint8_t ConvertText(std::string_view text, char (&field)[N], size_t maximum) {
  return ConvertTextSpan(text, field, N, maximum < N ? maximum : N - 1);
}

}  // namespace trk::tqload
