// Key definitions and the ordering of key values by key type.
//
// Strings compare as unsigned bytes up to their terminator; a field without a
// terminator ends at the field's end. Bytes compare as unsigned bytes over the
// key length. With OKV_KEY_NOCASE (types 0 and 1) ASCII letters compare as
// lower case. Integers compare numerically; floating-point keys numerically,
// with -0 equal to 0 and every NaN after every number and equal to another NaN.
#pragma once

#include <cstdint>
#include <span>

namespace okv {

struct KeyDef {
  uint16_t offset = 0;
  uint16_t length = 0;
  uint8_t type = 0;  // the type byte with its flags

  uint8_t baseType() const;
  bool allowsDuplicates() const;
};

// Whether a type byte and length may define a key.
bool IsValidKeyDefinition(uint8_t type, uint16_t length);

// The key field inside a record of recordSize bytes.
std::span<const uint8_t> KeyField(const KeyDef& key, std::span<const uint8_t> record);

// A caller's probe value as a field: for a string key only up to its
// terminator or the key length, whichever comes first.
std::span<const uint8_t> ProbeField(const KeyDef& key, const void* probe);

// <0, 0, >0 as a orders before, equal to, or after b. Both spans come from
// KeyField or ProbeField of the same key.
int CompareKeys(const KeyDef& key, std::span<const uint8_t> a, std::span<const uint8_t> b);

}  // namespace okv
