// The requests of the remote file service: operation codes, the fields each
// request carries, and the decoder the serving node runs over every request it
// receives.
//
// DecodeRequest is a pure function over bytes: it never reads beyond them and
// its result points into them (texts and data stay valid only as long as the
// request bytes do). The layouts, after the code byte, low byte first:
//
//   code  operation             fields
//   0     product information   (anything)
//   1,3,4,5 abort, download count, compare, fs request
//   2     slave                 value u16
//   16,17,25 sessions
//   18,24,27,28,29,31,34 OKV call on a handle       handle u16
//   19,22,46 record piece       handle u16, offset u16, piece (rest)
//   20    OKV create file       open flags u16, record size u16, encrypted u8,
//                               record key 32, file name text 32, file ID u16, name
//   21    OKV create key        key type u8, key offset u16, key length u16, name
//   23,26,49 OKV call on a name name
//   30,38,41,43,44 handle u16, key number u16
//   32    OKV open              open mode u8, name
//   33    continue reading      handle u16, offset u16
//   35,36,37,40,42 key-value piece  handle u16, key number u16, offset u16, piece (rest)
//   39    read by address       handle u16, address u32
//   45    set safe writes       handle u16, flag u8
//   47    set file ID           handle u16, file ID u16
//   48    set file name         handle u16, text
//   50    set record key        handle u16, key 32
//   228,241 close find, next    find handle i32
//   229,253 get clock, get disk
//   230   set clock             date
//   231,243,249,250,251 call on a file handle  handle u16
//   232,236,237,239,245 call on a path  path
//   233   set attributes        attributes u32, path
//   234   get date              path
//   235   set date              date, path
//   238,252,254 call on a drive drive u8
//   240   first                 flags u32, path
//   242   open                  open flags u16, permission u16, path
//   244   creat                 permission u16, path
//   246   read                  handle u16, count u16
//   247   write                 handle u16, count u16, data (count bytes)
//   248   lseek                 handle u16, origin u16, offset i32
//   255   rename                old path, new path
// where a date is year u16, month, day, hour, minute, second (u8 each).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace trk::tqpfs {

enum class Op : uint8_t {
  kProductInformation = 0,
  kAbort = 1,
  kSlave = 2,
  kDownloadCount = 3,
  kCompare = 4,
  kFsRequest = 5,
  kOkvAbortSession = 16,
  kOkvBeginSession = 17,
  kOkvCloseFile = 18,
  kOkvCreateBTreeRec = 19,
  kOkvCreateFile = 20,
  kOkvCreateKey = 21,
  kOkvCreateRec = 22,
  kOkvDeleteFile = 23,
  kOkvDeleteRec = 24,
  kOkvEndSession = 25,
  kOkvFileExists = 26,
  kOkvFileInfo = 27,
  kOkvGetRecIX = 28,
  kOkvGetSafeWrites = 29,
  kOkvKeyInfo = 30,
  kOkvNumRecords = 31,
  kOkvOpenFile = 32,
  kOkvContinueRead = 33,
  kOkvReadRec = 34,
  kOkvReadRecEQ = 35,
  kOkvReadRecGE = 36,
  kOkvReadRecGT = 37,
  kOkvReadRecHI = 38,
  kOkvReadRecIX = 39,
  kOkvReadRecLE = 40,
  kOkvReadRecLO = 41,
  kOkvReadRecLT = 42,
  kOkvReadRecNX = 43,
  kOkvReadRecPR = 44,
  kOkvSetSafeWrites = 45,
  kOkvUpdateRec = 46,
  kOkvSetFileID = 47,
  kOkvSetFileName = 48,
  kOkvFinalizeCreate = 49,
  kOkvSetKey = 50,
  kCloseFind = 228,
  kGetOsDate = 229,
  kSetOsDate = 230,
  kSetEof = 231,
  kGetAttrib = 232,
  kSetAttrib = 233,
  kGetDate = 234,
  kSetDate = 235,
  kMakeDir = 236,
  kRemoveDir = 237,
  kGetDir = 238,
  kChangeDir = 239,
  kFirst = 240,
  kNext = 241,
  kOpen = 242,
  kClose = 243,
  kCreat = 244,
  kRemove = 245,
  kRead = 246,
  kWrite = 247,
  kLseek = 248,
  kTell = 249,
  kEof = 250,
  kCommit = 251,
  kDrive = 252,
  kGetDisk = 253,
  kSetDisk = 254,
  kRename = 255
};

// Pieces of records and key values, and the data an answer can carry.
inline constexpr uint16_t kRecordPieceSize = 250;   // a record sent to the node
inline constexpr uint16_t kKeyPieceSize = 248;      // a key value sent to the node
inline constexpr uint16_t kAnswerPieceSize = 254;   // a record piece after the result byte
inline constexpr uint16_t kReadDataLimit = 253;     // data bytes after a read's i16 count
inline constexpr size_t kRecordKeySize = 32;
inline constexpr size_t kFileNameTextSize = 32;      // 31 characters and a zero
inline constexpr size_t kFindShortNameSize = 13;

struct DateFields {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// One decoded request: the fields its operation carries; the others stay zero.
struct Request {
  Op op = Op::kProductInformation;
  uint16_t handle = 0;  // a file handle, or an engine handle
  uint16_t keyNumber = 0;
  uint16_t pieceOffset = 0;  // of a record or key-value piece, or of a continued read
  uint16_t count = 0;        // read and write
  uint16_t origin = 0;       // lseek
  int32_t seekOffset = 0;
  uint16_t openFlags = 0;   // open, OKV create file
  uint16_t permission = 0;  // open, creat
  uint32_t searchFlags = 0;
  uint32_t attributes = 0;
  int32_t findHandle = 0;
  uint32_t recordAddress = 0;
  uint8_t drive = 0;
  uint8_t openMode = 0;  // OKV open
  uint8_t flag = 0;      // safe writes
  uint8_t keyType = 0;
  uint16_t keyOffset = 0;
  uint16_t keyLength = 0;
  uint16_t recordSize = 0;
  uint8_t encrypted = 0;
  uint16_t fileId = 0;
  uint16_t slaveValue = 0;
  DateFields date;
  std::string_view path;        // a path, an engine file name, or a file name text
  std::string_view secondPath;  // the new path of rename
  std::span<const uint8_t> data;         // written bytes, or a record or key-value piece
  std::span<const uint8_t> recordKey;    // 32 bytes: OKV create file, set record key
  std::span<const uint8_t> fileNameText; // 32 bytes: OKV create file
};

enum class DecodeStatus {
  kOk,
  kEmpty,        // no code byte
  kUnknownCode,  // request.op holds the code all the same
  kMalformed     // the fields are not all there; request.op holds the code
};

DecodeStatus DecodeRequest(std::span<const uint8_t> bytes, Request& request);

// Whether a code names an operation of the service.
bool IsKnownOp(uint8_t code);

}  // namespace trk::tqpfs
