// Key comparison by key type; see keys.h.
#include "okv/keys.h"

#include <cmath>
#include <cstring>

#include "okv/format.h"
#include "okv/okv.h"

namespace okv {

namespace {

uint8_t FoldCase(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c - 'A' + 'a') : c; }

int CompareBytes(std::span<const uint8_t> a, std::span<const uint8_t> b, bool noCase) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const uint8_t x = noCase ? FoldCase(a[i]) : a[i];
    const uint8_t y = noCase ? FoldCase(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::span<const uint8_t> UpToTerminator(std::span<const uint8_t> field) {
  const void* nul = std::memchr(field.data(), 0, field.size());
  return nul ? field.first(static_cast<const uint8_t*>(nul) - field.data()) : field;
}

uint64_t LoadUnsigned(std::span<const uint8_t> field) {
  uint64_t value = 0;
  for (size_t i = field.size(); i-- > 0;) value = (value << 8) | field[i];
  return value;
}

int64_t LoadSigned(std::span<const uint8_t> field) {
  const uint64_t raw = LoadUnsigned(field);
  const unsigned bits = 8 * static_cast<unsigned>(field.size());
  const uint64_t sign = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((raw ^ sign) - sign);
}

double LoadFloat(std::span<const uint8_t> field) {
  if (field.size() == 4) {
    const uint32_t bits = LoadU32(field.data());
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  const uint64_t bits = LoadUnsigned(field);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareFloats(double a, double b) {
  const bool aNaN = std::isnan(a), bNaN = std::isnan(b);
  if (aNaN || bNaN) return Order(aNaN, bNaN);
  return Order(a, b);
}

}  // namespace

uint8_t KeyDef::baseType() const { return type & OKV_KEY_TYPE_MASK; }
bool KeyDef::allowsDuplicates() const { return (type & OKV_KEY_DUPLICATES) != 0; }

bool IsValidKeyDefinition(uint8_t type, uint16_t length) {
  switch (type & OKV_KEY_TYPE_MASK) {
    case OKV_KEY_STRING:
    case OKV_KEY_BYTES:
      return length != 0;
    case OKV_KEY_UNSIGNED:
    case OKV_KEY_SIGNED:
      return length == 1 || length == 2 || length == 4;
    case OKV_KEY_FLOAT:
      return length == 4 || length == 8;
    default:
      return false;
  }
}

std::span<const uint8_t> KeyField(const KeyDef& key, std::span<const uint8_t> record) {
  return record.subspan(key.offset, key.length);
}

std::span<const uint8_t> ProbeField(const KeyDef& key, const void* probe) {
  const auto* bytes = static_cast<const uint8_t*>(probe);
  const size_t length =
      key.baseType() == OKV_KEY_STRING ? strnlen(static_cast<const char*>(probe), key.length) : key.length;
  return {bytes, length};
}

int CompareKeys(const KeyDef& key, std::span<const uint8_t> a, std::span<const uint8_t> b) {
  const bool noCase = (key.type & OKV_KEY_NOCASE) != 0;
  switch (key.baseType()) {
    case OKV_KEY_STRING:
      return CompareBytes(UpToTerminator(a), UpToTerminator(b), noCase);
    case OKV_KEY_BYTES:
      return CompareBytes(a, b, noCase);
    case OKV_KEY_UNSIGNED:
      return Order(LoadUnsigned(a), LoadUnsigned(b));
    case OKV_KEY_SIGNED:
      return Order(LoadSigned(a), LoadSigned(b));
    default:
      return CompareFloats(LoadFloat(a), LoadFloat(b));
  }
}

}  // namespace okv
