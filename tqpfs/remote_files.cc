// File operations on a remote node; see remote_files.h.
#include "tqpfs/remote_files.h"

#include <algorithm>
#include <cstring>

#include "tqpfs/exchange.h"
#include "tqpfs/layouts.h"
#include "tqpfs/library.h"

namespace trk::tqpfs {

void FillFindInfo(const FoundEntry& entry, std::string_view shortName, TQPFindInfo* info) {
  std::memset(info, 0, sizeof *info);
  info->attributes = entry.attributes;
  info->lastWriteTime = entry.lastWriteTime;
  info->size = entry.size;
  shortName = shortName.substr(0, sizeof info->shortName - 1);
  std::memcpy(info->shortName, shortName.data(), shortName.size());
  const size_t nameLength = std::min(entry.name.size(), sizeof info->longName - 1);
  std::memcpy(info->longName, entry.name.data(), nameLength);
}

namespace remote {

namespace {

constexpr size_t kResult16Size = 2;
constexpr size_t kDateAnswerSize = kResult16Size + 7;
constexpr size_t kAttributesAnswerSize = kResult16Size + 4;
constexpr size_t kDriveAnswerSize = kResult16Size + 16;
constexpr size_t kDiskAnswerSize = kResult16Size + 1;
// A found entry's name may end with the answer, without its terminator.
constexpr size_t kFirstAnswerSize = kResult16Size + 4 + kFoundEntryFixedSize;
constexpr size_t kNextAnswerSize = kResult16Size + kFoundEntryFixedSize;
constexpr size_t kDownloadCountAnswerSize = 5;

// The node checks, 213 for a request that does not fit, the exchange, then
// `unpack` over the answer (0, or 218 for an answer that does not fit its
// layout). Node 0 gets no answer and nothing is unpacked.
template <typename Unpack>
uint8_t Call(int node, TQPNodeAddress* address, const FieldWriter& request, Unpack unpack) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (request.overflowed()) return TQP_FLAG_20;
  Answer answer;
  if (const uint8_t result = Exchange(node, address, request.bytes(), answer)) return result;
  if (node == 0) return TQP_OK;
  return unpack(answer.view());
}

// An answer that begins with an i16 result, and holds at least `sizeWhenZero`
// bytes when that result is 0. Calls `unpack(reader)` after the result.
template <typename T, typename Unpack>
auto Result16(T* result, size_t sizeWhenZero, Unpack unpack) {
  return [=](std::span<const uint8_t> answer) -> uint8_t {
    FieldReader in(answer);
    const int16_t value = in.I16();
    if (in.failed() || (value == 0 && answer.size() < sizeWhenZero)) return kBadReply;
    if (value == 0) unpack(in);
    *result = value;
    return TQP_OK;
  };
}

template <typename T>
auto Result16Only(T* result) {
  return Result16(result, kResult16Size, [](FieldReader&) {});
}

auto Result32(int* result) {
  return [=](std::span<const uint8_t> answer) -> uint8_t {
    FieldReader in(answer);
    const int32_t value = in.I32();
    if (in.failed()) return kBadReply;
    *result = value;
    return TQP_OK;
  };
}

}  // namespace

uint8_t Open(int node, TQPNodeAddress* address, const char* path, int flags, int mode, int* handle) {
  FieldWriter request = NewRequest(Op::kOpen);
  request.U16(static_cast<uint16_t>(flags)).U16(static_cast<uint16_t>(mode)).Text(path);
  return Call(node, address, request, Result16Only(handle));
}

uint8_t Create(int node, TQPNodeAddress* address, const char* path, int mode, int* handle) {
  FieldWriter request = NewRequest(Op::kCreat);
  request.U16(static_cast<uint16_t>(mode)).Text(path);
  return Call(node, address, request, Result16Only(handle));
}

uint8_t HandleCall(Op op, int node, TQPNodeAddress* address, int handle, int* result) {
  FieldWriter request = NewRequest(op);
  request.U16(static_cast<uint16_t>(handle));
  return Call(node, address, request, Result16Only(result));
}

uint8_t Tell(int node, TQPNodeAddress* address, int handle, int* position) {
  FieldWriter request = NewRequest(Op::kTell);
  request.U16(static_cast<uint16_t>(handle));
  return Call(node, address, request, Result32(position));
}

uint8_t Read(int node, TQPNodeAddress* address, int handle, void* buffer, unsigned count, int* countRead) {
  FieldWriter request = NewRequest(Op::kRead);
  request.U16(static_cast<uint16_t>(handle)).U16(static_cast<uint16_t>(std::min<unsigned>(count, UINT16_MAX)));
  const size_t most = std::min<size_t>(count, kReadDataLimit);
  return Call(node, address, request, [&](std::span<const uint8_t> answer) -> uint8_t {
    FieldReader in(answer);
    const int16_t got = in.I16();
    // More data than was asked for would run past the caller's buffer.
    if (in.failed() || (got > 0 && static_cast<size_t>(got) > most)) return kBadReply;
    const auto data = in.Bytes(got > 0 ? static_cast<size_t>(got) : 0);
    if (in.failed()) return kBadReply;
    if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
    *countRead = got;
    return TQP_OK;
  });
}

uint8_t Write(int node, TQPNodeAddress* address, int handle, const void* buffer, unsigned count,
              int* countWritten) {
  FieldWriter request = NewRequest(Op::kWrite);
  request.U16(static_cast<uint16_t>(handle)).U16(static_cast<uint16_t>(count));
  request.Bytes({static_cast<const uint8_t*>(buffer), count});
  return Call(node, address, request, Result16Only(countWritten));
}

uint8_t Seek(int node, TQPNodeAddress* address, int handle, int offset, int origin, int* position) {
  FieldWriter request = NewRequest(Op::kLseek);
  request.U16(static_cast<uint16_t>(handle)).U16(static_cast<uint16_t>(origin)).I32(offset);
  return Call(node, address, request, Result32(position));
}

uint8_t PathCall(Op op, int node, TQPNodeAddress* address, const char* path, int* result) {
  FieldWriter request = NewRequest(op);
  request.Text(path);
  return Call(node, address, request, Result16Only(result));
}

uint8_t Rename(int node, TQPNodeAddress* address, const char* oldPath, const char* newPath, int* result) {
  FieldWriter request = NewRequest(Op::kRename);
  request.Text(oldPath).Text(newPath);
  return Call(node, address, request, Result16Only(result));
}

uint8_t GetDirectory(int node, TQPNodeAddress* address, uint8_t drive, char* directory, int* result) {
  FieldWriter request = NewRequest(Op::kGetDir);
  request.U8(drive);
  return Call(node, address, request, [&](std::span<const uint8_t> answer) -> uint8_t {
    FieldReader in(answer);
    const int16_t value = in.I16();
    if (answer.size() < kResult16Size + 1) return kBadReply;
    if (value == 0) {
      // The text must fill the answer exactly: text, terminator, nothing after.
      const std::string_view text = in.Text();
      if (in.failed() || in.remaining() != 0) return kBadReply;
      std::memcpy(directory, text.data(), text.size());
      directory[text.size()] = 0;
    }
    *result = value;
    return TQP_OK;
  });
}

uint8_t GetAttributes(int node, TQPNodeAddress* address, const char* path, int* attributes, int* result) {
  FieldWriter request = NewRequest(Op::kGetAttrib);
  request.Text(path);
  return Call(node, address, request, Result16(result, kAttributesAnswerSize, [&](FieldReader& in) {
                *attributes = static_cast<int>(in.U32());
              }));
}

uint8_t SetAttributes(int node, TQPNodeAddress* address, const char* path, int attributes, int* result) {
  FieldWriter request = NewRequest(Op::kSetAttrib);
  request.U32(static_cast<uint32_t>(attributes)).Text(path);
  return Call(node, address, request, Result16Only(result));
}

uint8_t GetDate(int node, TQPNodeAddress* address, const char* path, DateFields* date, int* result) {
  FieldWriter request = NewRequest(path ? Op::kGetDate : Op::kGetOsDate);
  if (path) request.Text(path);
  return Call(node, address, request,
              Result16(result, kDateAnswerSize, [&](FieldReader& in) { *date = ReadDate(in); }));
}

uint8_t SetDate(int node, TQPNodeAddress* address, const char* path, const DateFields& date, int* result) {
  FieldWriter request = NewRequest(path ? Op::kSetDate : Op::kSetOsDate);
  WriteDate(request, date);
  if (path) request.Text(path);
  return Call(node, address, request, Result16Only(result));
}

uint8_t GetDisk(int node, TQPNodeAddress* address, uint8_t* drive, int* result) {
  return Call(node, address, NewRequest(Op::kGetDisk),
              Result16(result, kDiskAnswerSize, [&](FieldReader& in) { *drive = in.U8(); }));
}

uint8_t SetDisk(int node, TQPNodeAddress* address, uint8_t drive, int* result) {
  FieldWriter request = NewRequest(Op::kSetDisk);
  request.U8(drive);
  return Call(node, address, request, Result16Only(result));
}

uint8_t QueryDrive(int node, TQPNodeAddress* address, uint8_t drive, uint32_t* bytesPerSector,
                   uint32_t* sectorsPerCluster, uint32_t* totalClusters, uint32_t* freeClusters, int* result) {
  FieldWriter request = NewRequest(Op::kDrive);
  request.U8(drive);
  return Call(node, address, request, Result16(result, kDriveAnswerSize, [&](FieldReader& in) {
                *bytesPerSector = in.U32();
                *sectorsPerCluster = in.U32();
                *totalClusters = in.U32();
                *freeClusters = in.U32();
              }));
}

uint8_t First(int node, TQPNodeAddress* address, const char* path, int flags, int* findHandle, TQPFindInfo* info,
              int16_t* result) {
  FieldWriter request = NewRequest(Op::kFirst);
  request.U32(static_cast<uint32_t>(flags)).Text(path);
  return Call(node, address, request, Result16(result, kFirstAnswerSize, [&](FieldReader& in) {
                *findHandle = in.I32();
                const FoundEntryFields found = ReadFoundEntry(in);
                platform::NamedMutexLock lock(LibraryMutex());
                FillFindInfo(found.entry, found.shortName, info);
              }));
}

uint8_t Next(int node, TQPNodeAddress* address, int findHandle, TQPFindInfo* info, int16_t* result) {
  FieldWriter request = NewRequest(Op::kNext);
  request.I32(findHandle);
  return Call(node, address, request, Result16(result, kNextAnswerSize, [&](FieldReader& in) {
                const FoundEntryFields found = ReadFoundEntry(in);
                platform::NamedMutexLock lock(LibraryMutex());
                FillFindInfo(found.entry, found.shortName, info);
              }));
}

uint8_t CloseFind(int node, TQPNodeAddress* address, int findHandle, int16_t* result) {
  FieldWriter request = NewRequest(Op::kCloseFind);
  request.I32(findHandle);
  return Call(node, address, request, Result16Only(result));
}

uint8_t ByteCall(Op op, int node, TQPNodeAddress* address, uint16_t slaveValue) {
  FieldWriter request = NewRequest(op);
  if (op == Op::kSlave) request.U16(slaveValue);
  return Call(node, address, request, [](std::span<const uint8_t> answer) -> uint8_t {
    return answer.empty() ? kBadReply : answer[0];
  });
}

uint8_t DownloadCount(int node, TQPNodeAddress* address, int* count) {
  return Call(node, address, NewRequest(Op::kDownloadCount), [&](std::span<const uint8_t> answer) -> uint8_t {
    if (answer.empty()) return kBadReply;
    if (answer[0] != 0) return answer.size() == 1 ? answer[0] : kBadReply;
    if (answer.size() != kDownloadCountAnswerSize) return kBadReply;
    FieldReader in(answer.subspan(1));
    *count = in.I32();
    return TQP_OK;
  });
}

uint8_t Compare(int node, TQPNodeAddress* address) {
  return Call(node, address, NewRequest(Op::kCompare), [](std::span<const uint8_t> answer) -> uint8_t {
    return answer.size() == 1 ? answer[0] : kBadReply;
  });
}

}  // namespace remote
}  // namespace trk::tqpfs
