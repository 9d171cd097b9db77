// Shared fixture of the engine tests: a private folder per test (also used as
// TRK_FOLDER and TRK_LOCK_DIR), file helpers and a small record layout.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "okv/okv.h"

namespace okv::testing {

using Bytes = std::vector<uint8_t>;

struct KeySpec {
  uint8_t type;
  uint16_t offset;
  uint16_t length;
};

// The record used by most tests: 32 bytes, a text name at 0 (16 bytes), a
// u32 number at 16, a signed i16 at 20, free bytes after.
constexpr uint16_t kPersonSize = 32;
constexpr KeySpec kNameKey{OKV_KEY_STRING, 0, 16};
constexpr KeySpec kNumberKey{OKV_KEY_UNSIGNED | OKV_KEY_DUPLICATES, 16, 4};

inline Bytes Person(const char* name, uint32_t number, uint8_t tag = 0) {
  Bytes record(kPersonSize, 0);
  std::strncpy(reinterpret_cast<char*>(record.data()), name, 15);
  for (int i = 0; i < 4; ++i) record[16 + i] = static_cast<uint8_t>(number >> (8 * i));
  record[31] = tag;
  return record;
}
inline std::string NameOf(const Bytes& record) { return reinterpret_cast<const char*>(record.data()); }
inline uint32_t NumberOf(const Bytes& record) {
  return record[16] | (record[17] << 8) | (record[18] << 16) | (uint32_t{record[19]} << 24);
}

inline uint32_t Le32(const Bytes& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}
inline void PutLe32(Bytes& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class OkvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("okv-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
    setenv("TRK_LOCK_DIR", dir_.c_str(), 1);
    setenv("TRK_FOLDER", dir_.c_str(), 1);
  }
  void TearDown() override {
    for (uint16_t handle : handles_) OKVCloseFile(handle);
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  // Creates, defines and finalizes a file; returns the first failing code.
  static uint8_t Define(const std::string& path, uint16_t recordSize, std::initializer_list<KeySpec> keys,
                        uint8_t encrypted = 0, const uint8_t* key32 = nullptr) {
    uint8_t rc = OKVCreateFile(path.c_str(), OKV_OPEN_FLAGS_DEFAULT, recordSize, encrypted, key32, nullptr, 7);
    for (const KeySpec& key : keys) {
      uint16_t number = 0;
      if (rc == OKV_SUCCESS) rc = OKVCreateKey(path.c_str(), key.type, key.offset, key.length, &number);
    }
    return rc == OKV_SUCCESS ? OKVFinalizeCreate(path.c_str()) : rc;
  }

  uint16_t Open(const std::string& path) {
    uint16_t handle = 0;
    EXPECT_EQ(OKVOpenFile(path.c_str(), 1, &handle), OKV_SUCCESS) << path;
    if (handle != 0) handles_.push_back(handle);
    return handle;
  }

  // A new file of people keyed by name (unique) and number (duplicates).
  uint16_t NewPeople(const std::string& name = "people.okv", uint8_t encrypted = 0, const uint8_t* key32 = nullptr) {
    EXPECT_EQ(Define(Path(name), kPersonSize, {kNameKey, kNumberKey}, encrypted, key32), OKV_SUCCESS);
    return Open(Path(name));
  }

  // Names in the order of a key, walked forwards with LO/NX or backwards with HI/PR.
  static std::vector<std::string> Walk(uint16_t handle, uint16_t key, bool backwards = false) {
    std::vector<std::string> names;
    Bytes record(kPersonSize);
    uint8_t rc = backwards ? OKVReadRecHI(handle, key, record.data()) : OKVReadRecLO(handle, key, record.data());
    while (rc == OKV_SUCCESS && names.size() < 10000) {
      names.push_back(NameOf(record));
      rc = backwards ? OKVReadRecPR(handle, key, record.data()) : OKVReadRecNX(handle, key, record.data());
    }
    EXPECT_EQ(rc, OKV_RECORD_NOT_FOUND);
    return names;
  }

  std::filesystem::path dir_;
  std::vector<uint16_t> handles_;
};

}  // namespace okv::testing
