// The two exported cipher calls, for callers that encipher records themselves.
#include <cstring>

#include "okv/api_common.h"
#include "okv/cipher.h"
#include "okv/format.h"

namespace okv {

namespace {

uint8_t Encrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                uint16_t destinationSize) {
  if (key32 == nullptr || source == nullptr || destination == nullptr) return OKV_PARAMETER;
  if (sourceLength > kMaxEncryptedRecordSize) return OKV_PARAMETER;
  const uint32_t bodySize = CipherBodySize(sourceLength);
  if (destinationSize < bodySize) return OKV_PARAMETER;
  auto* body = static_cast<uint8_t*>(destination);
  std::memmove(body + 2, source, sourceLength);
  StoreU16(body, sourceLength);
  Rc6(key32).EncryptBlocks({body, bodySize});
  return OKV_SUCCESS;
}

uint8_t Decrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                uint16_t* recordLength) {
  if (key32 == nullptr || source == nullptr || destination == nullptr || recordLength == nullptr) {
    return OKV_PARAMETER;
  }
  if (sourceLength == 0 || sourceLength % 16 != 0) return OKV_PARAMETER;
  auto* body = static_cast<uint8_t*>(destination);
  std::memmove(body, source, sourceLength);
  Rc6(key32).DecryptBlocks({body, sourceLength});
  const uint16_t length = LoadU16(body);
  *recordLength = length;
  if (!IsPlausibleRecordLength(length, sourceLength)) return OKV_WRONG_KEY;
  std::memmove(body, body + 2, length);
  return OKV_SUCCESS;
}

}  // namespace

}  // namespace okv

extern "C" {

OKV_EXPORT uint8_t OKVEncrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                              uint16_t destinationSize) {
  return okv::Locked(
      [&]() -> uint8_t { return okv::Encrypt(key32, source, sourceLength, destination, destinationSize); });
}

OKV_EXPORT uint8_t OKVDecrypt(const uint8_t* key32, const void* source, uint16_t sourceLength, void* destination,
                              uint16_t* recordLength) {
  return okv::Locked([&]() -> uint8_t { return okv::Decrypt(key32, source, sourceLength, destination, recordLength); });
}

}  // extern "C"
