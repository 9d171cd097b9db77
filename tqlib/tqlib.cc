// The numeric text helpers. All three checks share one scanner so that what
// IsFloatingPoint accepts and what IsVolume converts can never drift apart.
#include "tqlib/tqlib.h"

#include <cstdio>
#include <string_view>

namespace {

struct NumberText {
  bool negative = false;
  bool hasSign = false;
  bool hasPoint = false;
  std::string_view whole;     // digits before the point
  std::string_view fraction;  // digits after the point
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Digits(std::string_view text, size_t& pos) {
  const size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return text.substr(start, pos - start);
}

// Splits "  -12.50 " into its parts; false when the text is not a plain decimal.
bool ScanNumber(const char* raw, NumberText& out) {
  if (raw == nullptr) return false;
  const std::string_view text(raw);
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    out.hasSign = true;
    out.negative = text[pos] == '-';
    ++pos;
  }
  out.whole = Digits(text, pos);
  if (pos < text.size() && text[pos] == '.') {
    out.hasPoint = true;
    ++pos;
    out.fraction = Digits(text, pos);
  }
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos == text.size() && !(out.whole.empty() && out.fraction.empty());
}

constexpr uint32_t kScaleByCode[] = {100, 10, 1};
constexpr unsigned kDecimalsByCode[] = {2, 1, 0};

}  // namespace

extern "C" int IsInteger(const char* text) {
  NumberText number;
  return ScanNumber(text, number) && !number.hasPoint;
}

extern "C" int IsFloatingPoint(const char* text) {
  NumberText number;
  return ScanNumber(text, number);
}

extern "C" int IsVolume(const char* text, uint8_t resolutionCode, uint32_t* volume) {
  NumberText number;
  if (volume == nullptr || resolutionCode > 2 || !ScanNumber(text, number) || number.hasSign) return 0;
  const unsigned decimals = kDecimalsByCode[resolutionCode];
  uint64_t value = 0;
  for (char digit : number.whole) {
    value = value * 10 + static_cast<unsigned>(digit - '0');
    if (value > UINT32_MAX) return 0;
  }
  for (unsigned i = 0; i < decimals; ++i) {
    const unsigned digit = i < number.fraction.size() ? static_cast<unsigned>(number.fraction[i] - '0') : 0;
    value = value * 10 + digit;
  }
  // Decimals beyond the resolution may only be zeros: 12.30 is 123 tenths, 12.34 is not.
  for (size_t i = decimals; i < number.fraction.size(); ++i) {
    if (number.fraction[i] != '0') return 0;
  }
  if (value > UINT32_MAX) return 0;
  *volume = static_cast<uint32_t>(value);
  return 1;
}

extern "C" void VolumeToASCIIZ(char* buffer, uint8_t resolutionCode, uint32_t volume) {
  if (buffer == nullptr) return;
  if (resolutionCode > 2) {
    buffer[0] = '\0';
    return;
  }
  const uint32_t scale = kScaleByCode[resolutionCode];
  if (scale == 1) {
    std::snprintf(buffer, 16, "%u", volume);
  } else {
    std::snprintf(buffer, 16, "%u.%0*u", volume / scale, static_cast<int>(kDecimalsByCode[resolutionCode]),
                  volume % scale);
  }
}
