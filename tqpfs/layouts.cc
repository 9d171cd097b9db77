// Compound fields of requests and answers; see layouts.h.
#include "tqpfs/layouts.h"

#include <algorithm>
#include <cstring>

namespace trk::tqpfs {

namespace {

std::string TextUpTo(std::span<const uint8_t> bytes, size_t limit) {
  if (bytes.empty()) return {};
  const size_t length = std::min(limit, strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return std::string(reinterpret_cast<const char*>(bytes.data()), length);
}

}  // namespace

void WriteDate(FieldWriter& out, const DateFields& date) {
  out.U16(date.year).U8(date.month).U8(date.day).U8(date.hour).U8(date.minute).U8(date.second);
}

DateFields ReadDate(FieldReader& in) {
  DateFields date;
  date.year = in.U16();
  date.month = in.U8();
  date.day = in.U8();
  date.hour = in.U8();
  date.minute = in.U8();
  date.second = in.U8();
  return date;
}

void WriteFileInfo(FieldWriter& out, const OKVFileInfoBuf& info) {
  out.U16(info.version).U32(info.nodeCount).U32(info.recordCount).U16(info.fileId).U16(info.keyCount);
  out.U16(info.recordSize).U16(info.openFlags).U8(info.encrypted);
  out.Bytes(info.storedKey).Bytes({reinterpret_cast<const uint8_t*>(info.fileName), sizeof info.fileName});
}

OKVFileInfoBuf ReadFileInfo(FieldReader& in) {
  OKVFileInfoBuf info{};
  info.version = in.U16();
  info.nodeCount = in.U32();
  info.recordCount = in.U32();
  info.fileId = in.U16();
  info.keyCount = in.U16();
  info.recordSize = in.U16();
  info.openFlags = in.U16();
  info.encrypted = in.U8();
  const auto key = in.Bytes(sizeof info.storedKey);
  if (!key.empty()) std::memcpy(info.storedKey, key.data(), key.size());
  const auto name = in.Bytes(sizeof info.fileName);
  if (!name.empty()) std::memcpy(info.fileName, name.data(), name.size());
  info.fileName[sizeof info.fileName - 1] = 0;
  return info;
}

void WriteFoundEntry(FieldWriter& out, const FoundEntry& entry) {
  out.U32(entry.attributes).U32(entry.lastWriteTime).U32(entry.size);
  out.PaddedText(std::string_view(entry.name).substr(0, kShortNameLimit), kFindShortNameSize);
  out.Text(std::string_view(entry.name).substr(0, kLongNameLimit));
}

FoundEntryFields ReadFoundEntry(FieldReader& in) {
  FoundEntryFields fields;
  fields.entry.attributes = in.U32();
  fields.entry.lastWriteTime = in.U32();
  fields.entry.size = in.U32();
  fields.shortName = TextUpTo(in.Bytes(kFindShortNameSize), kShortNameLimit);
  fields.entry.name = TextUpTo(in.Rest(), kLongNameLimit);
  return fields;
}

}  // namespace trk::tqpfs
