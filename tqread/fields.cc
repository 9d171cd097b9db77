// Field forms of the delivery text file; see fields.h.
#include "tqread/fields.h"

#include <cstdio>
#include <limits>

#include "tqlib/tqlib.h"

namespace trk::tqread {

namespace {

constexpr uint64_t kScaleByCode[] = {100, 10, 1};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::string VolumeText(int64_t volume, uint8_t resolutionCode) {
  if (resolutionCode > 2) return {};
  const bool negative = volume < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(volume) : static_cast<uint64_t>(volume);
  char buffer[41] = {};
  std::string text = negative ? "-" : "";
  if (magnitude <= std::numeric_limits<uint32_t>::max()) {
    VolumeToASCIIZ(buffer, resolutionCode, static_cast<uint32_t>(magnitude));
    return text + buffer;
  }
  // Sums of many counts can pass 32 bits: the units here, the decimals from the
  // same formatter, so both read alike.
  const uint64_t scale = kScaleByCode[resolutionCode];
  text += std::to_string(magnitude / scale);
  if (scale > 1) {
    VolumeToASCIIZ(buffer, resolutionCode, static_cast<uint32_t>(magnitude % scale));
    text += std::string_view(buffer).substr(1);  // "0.05" gives ".05"
  }
  return text;
}

std::string FixedText(double value, int decimals) {
  char small[64];
  const int length = std::snprintf(small, sizeof small, "%.*f", decimals, value);
  if (length < 0) return {};
  if (static_cast<size_t>(length) < sizeof small) return std::string(small, static_cast<size_t>(length));
  std::string large(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(large.data(), large.size(), "%.*f", decimals, value);
  large.resize(static_cast<size_t>(length));
  return large;
}

int64_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Like the C library's conversion, an out-of-range number gives the limit.
  constexpr int64_t kMaximum = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (kMaximum - digit) / 10 ? kMaximum : value * 10 + digit;
  }
  return negative ? -value : value;
}

void LineBuilder::Open() {
  if (lineStarted_) text_ += ',';
  lineStarted_ = true;
  text_ += '"';
}

void LineBuilder::Text(std::string_view text) {
  Open();
  text_ += text;
  Close();
}

void LineBuilder::Zeros(int count) {
  for (int i = 0; i < count; ++i) Zero();
}

void LineBuilder::Fixed(double value, int decimals) { Text(FixedText(value, decimals)); }

void LineBuilder::FixedOrZero(double value, int decimals) {
  if (value == 0) {
    Zero();
  } else {
    Fixed(value, decimals);
  }
}

void LineBuilder::Integer(int64_t value) { Text(std::to_string(value)); }

void LineBuilder::Volume(int64_t volume, uint8_t resolutionCode) {
  if (volume == 0) {
    Zero();
  } else {
    Text(VolumeText(volume, resolutionCode));
  }
}

void LineBuilder::NumberFromText(std::string_view text) { Integer(LeadingInteger(text)); }

std::string PaddedText(std::string_view text, size_t width) {
  std::string padded(text);
  if (padded.size() < width) padded.append(width - padded.size(), ' ');
  return padded;
}

void LineBuilder::Padded(std::string_view text, size_t width) { Text(PaddedText(text, width)); }

void LineBuilder::EndLine() {
  text_ += "\r\n";
  lineStarted_ = false;
}

}  // namespace trk::tqread
