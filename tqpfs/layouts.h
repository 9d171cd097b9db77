// Compound fields shared by requests and answers, written by one side of the
// link and read by the other: a date, an engine file information block, and a
// found directory entry.
//
//   date          year u16, month, day, hour, minute, second (u8 each)    7 bytes
//   file info     version u16, node count u32, record count u32, file ID u16,
//                 key count u16, record size u16, open flags u16, encrypted u8,
//                 stored key 32, file name text 32                         83 bytes
//   found entry   attributes u32, last-write time u32, size u32, short name 13
//                 (the first 12 characters of the name, zero-padded), name
//                 (at most 223 characters, zero-terminated)
#pragma once

#include "okv/okv.h"
#include "tqpfs/fields.h"
#include "tqpfs/local_search.h"
#include "tqpfs/request.h"

namespace trk::tqpfs {

inline constexpr size_t kFileInfoSize = 83;
inline constexpr size_t kFoundEntryFixedSize = 25;  // before the name

void WriteDate(FieldWriter& out, const DateFields& date);
DateFields ReadDate(FieldReader& in);

void WriteFileInfo(FieldWriter& out, const OKVFileInfoBuf& info);
OKVFileInfoBuf ReadFileInfo(FieldReader& in);

void WriteFoundEntry(FieldWriter& out, const FoundEntry& entry);
// The name may lack its terminator at the end of an answer; it is cut to 223
// characters. The short name is taken as sent, cut to 12 characters.
struct FoundEntryFields {
  FoundEntry entry;
  std::string shortName;
};
FoundEntryFields ReadFoundEntry(FieldReader& in);

}  // namespace trk::tqpfs
