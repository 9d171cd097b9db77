// The serving node's dispatcher; see server.h.
#include "tqpfs/server.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "okv/okv.h"
#include "tqpfs/layouts.h"

namespace trk::tqpfs {

namespace {

constexpr uint8_t kRefused = OKV_PARAMETER;  // the engine's parameter error
constexpr int kWriteAccess = 0x0003;         // write-only or read-write open flags
constexpr size_t kDirectoryTextLimit = kFrameDataSize - 3;

FieldWriter Byte(uint8_t value) {
  FieldWriter out;
  out.U8(value);
  return out;
}

FieldWriter Result16(int value) {
  FieldWriter out;
  out.I16(static_cast<int16_t>(value));
  return out;
}

bool IsDatabaseOp(Op op) { return op >= Op::kOkvAbortSession && op <= Op::kOkvSetKey; }

bool IsServiceOp(Op op) { return op <= Op::kFsRequest; }

// Keyed reads whose key value arrives in pieces, and the engine call of each.
using KeyedRead = uint8_t (*)(uint16_t, uint16_t, const void*, void*);
KeyedRead KeyedReadOf(Op op) {
  switch (op) {
    case Op::kOkvReadRecEQ: return OKVReadRecEQ;
    case Op::kOkvReadRecGE: return OKVReadRecGE;
    case Op::kOkvReadRecGT: return OKVReadRecGT;
    case Op::kOkvReadRecLE: return OKVReadRecLE;
    case Op::kOkvReadRecLT: return OKVReadRecLT;
    default: return nullptr;
  }
}

// Reads that move along a key.
using StepRead = uint8_t (*)(uint16_t, uint16_t, void*);
StepRead StepReadOf(Op op) {
  switch (op) {
    case Op::kOkvReadRecHI: return OKVReadRecHI;
    case Op::kOkvReadRecLO: return OKVReadRecLO;
    case Op::kOkvReadRecNX: return OKVReadRecNX;
    case Op::kOkvReadRecPR: return OKVReadRecPR;
    default: return nullptr;
  }
}

// Records that arrive in pieces, and the engine call of each.
using RecordWrite = uint8_t (*)(uint16_t, const void*);
RecordWrite RecordWriteOf(Op op) {
  switch (op) {
    case Op::kOkvCreateRec: return OKVCreateRec;
    case Op::kOkvCreateBTreeRec: return OKVCreateBTreeRec;
    case Op::kOkvUpdateRec: return OKVUpdateRec;
    default: return nullptr;
  }
}

void ClearPending(std::vector<uint8_t>& pending, Op& pendingOp) {
  pending.clear();
  pendingOp = Op::kProductInformation;
}

// The folder part of a search path (up to its last separator) and the name pattern.
std::pair<std::string_view, std::string_view> SplitSearchPath(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  if (separator == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

// The answer given to a request that cannot be carried out.
FieldWriter FailureAnswer(Op op) {
  switch (op) {
    case Op::kOkvFileExists:
      return Result16(0);
    case Op::kLseek:
    case Op::kTell: {
      FieldWriter out;
      out.I32(-1);
      return out;
    }
    case Op::kGetDir: {
      // Its answers are read only from 3 bytes on: the result and an empty text.
      FieldWriter out;
      out.I16(-1).U8(0);
      return out;
    }
    default:
      if (IsServiceOp(op) || IsDatabaseOp(op)) return Byte(kRefused);
      return Result16(-1);
  }
}

}  // namespace

FileServer::FileServer(ServedFolder folder, ServerOptions options)
    : folder_(std::move(folder)), options_(options) {}

FileServer::~FileServer() {
  for (const auto& [handle, database] : databases_) OKVCloseFile(handle);
}

FieldWriter FileServer::Answer(std::span<const uint8_t> requestBytes) {
  Request request;
  switch (DecodeRequest(requestBytes, request)) {
    case DecodeStatus::kEmpty:
    case DecodeStatus::kUnknownCode:
      return Byte(kRefused);
    case DecodeStatus::kMalformed:
      return FailureAnswer(request.op);
    case DecodeStatus::kOk:
      break;
  }
  FieldWriter out;
  switch (request.op) {
    case Op::kProductInformation:
      out.U8(0).U8(kProductCode).Text(kProductText);
      return out;
    case Op::kDownloadCount:
      out.U8(0).I32(downloadCount_);
      return out;
    case Op::kAbort:
    case Op::kSlave:
    case Op::kCompare:
    case Op::kFsRequest:
      return Byte(0);
    default:
      return IsDatabaseOp(request.op) ? AnswerDatabaseRequest(request) : AnswerFileRequest(request);
  }
}

FieldWriter FileServer::AnswerFileRequest(const Request& r) {
  FieldWriter out;
  switch (r.op) {
    case Op::kCloseFind:
      return Result16(searches_.Close(r.findHandle) ? 0 : -1);
    case Op::kFirst:
    case Op::kNext:
      return AnswerSearch(r);
    case Op::kGetOsDate: {
      DateFields date;
      if (GetClock(&date) != 0) return Result16(-1);
      out.I16(0);
      WriteDate(out, date);
      return out;
    }
    case Op::kSetOsDate:
      return Result16(options_.allowClockSetting ? SetClock(r.date) : -1);
    case Op::kSetEof:
      return Result16(files_.SetEnd(r.handle));
    case Op::kClose:
      return Result16(files_.Close(r.handle));
    case Op::kTell:
      out.I32(files_.Tell(r.handle));
      return out;
    case Op::kEof:
      return Result16(files_.AtEnd(r.handle));
    case Op::kCommit:
      return Result16(files_.Commit(r.handle));
    case Op::kRead: {
      uint8_t data[kReadDataLimit];
      const int count = files_.Read(r.handle, data, std::min<size_t>(r.count, kReadDataLimit));
      out.I16(static_cast<int16_t>(count));
      if (count > 0) out.Bytes({data, static_cast<size_t>(count)});
      return out;
    }
    case Op::kWrite:
      return Result16(files_.Write(r.handle, r.data));
    case Op::kLseek:
      out.I32(files_.Seek(r.handle, r.seekOffset, r.origin));
      return out;
    case Op::kGetDir:
      if (!IsOurDrive(r.drive) || folder_.current().size() > kDirectoryTextLimit) return FailureAnswer(r.op);
      out.I16(0).Text(folder_.current());
      return out;
    case Op::kDrive: {
      DriveSpace space;
      if (QueryDrive(r.drive, folder_.root(), &space) != 0) return Result16(-1);
      out.I16(0).U32(space.bytesPerSector).U32(space.sectorsPerCluster);
      out.U32(space.totalClusters).U32(space.freeClusters);
      return out;
    }
    case Op::kGetDisk:
      out.I16(0).U8(kOnlyDrive);
      return out;
    case Op::kSetDisk:
      return Result16(r.drive == kOnlyDrive ? 0 : -1);
    default:
      return AnswerPathRequest(r);
  }
}

FieldWriter FileServer::AnswerPathRequest(const Request& r) {
  if (r.op == Op::kChangeDir) return Result16(folder_.ChangeDirectory(r.path) ? 0 : -1);
  const std::optional<ConfinedPath> target = folder_.Resolve(r.path);
  if (!target) return Result16(-1);
  const std::string& path = target->absolute;
  const bool servedFolderItself = target->relative.empty();
  FieldWriter out;
  switch (r.op) {
    case Op::kGetAttrib: {
      uint32_t attributes = 0;
      if (GetAttributes(path, &attributes) != 0) return Result16(-1);
      out.I16(0).U32(attributes);
      return out;
    }
    case Op::kSetAttrib:
      return Result16(SetAttributes(path, r.attributes));
    case Op::kGetDate: {
      DateFields date;
      if (GetFileDate(path, &date) != 0) return Result16(-1);
      out.I16(0);
      WriteDate(out, date);
      return out;
    }
    case Op::kSetDate:
      return Result16(SetFileDate(path, r.date));
    case Op::kMakeDir:
      return Result16(MakeDirectory(path));
    case Op::kRemoveDir:
      return Result16(servedFolderItself ? -1 : RemoveDirectory(path));
    case Op::kRemove:
      return Result16(servedFolderItself ? -1 : RemoveFile(path));
    case Op::kRename: {
      const std::optional<ConfinedPath> destination = folder_.Resolve(r.secondPath);
      if (!destination || servedFolderItself || destination->relative.empty()) return Result16(-1);
      return Result16(RenamePath(path, destination->absolute));
    }
    case Op::kOpen:
    case Op::kCreat: {
      const int handle = r.op == Op::kOpen ? files_.Open(path, r.openFlags, r.permission)
                                           : files_.Create(path, r.permission);
      if (handle >= 0 && (r.op == Op::kCreat || (r.openFlags & kWriteAccess) != 0)) ++downloadCount_;
      return Result16(handle);
    }
    default:
      return FailureAnswer(r.op);
  }
}

FieldWriter FileServer::AnswerSearch(const Request& r) {
  FoundEntry entry;
  FieldWriter out;
  SearchResult result = SearchResult::kUnknownHandle;
  int32_t handle = 0;
  if (r.op == Op::kNext) {
    result = searches_.Next(r.findHandle, &entry);
  } else {
    const auto [folderPart, pattern] = SplitSearchPath(r.path);
    const std::optional<ConfinedPath> folder = folder_.Resolve(folderPart);
    if (!folder) return Result16(-1);
    // Entries reached through a link count only when the link leads inside.
    auto staysInside = [this](const std::string& fullPath) {
      struct stat status {};
      return ::lstat(fullPath.c_str(), &status) == 0 && (!S_ISLNK(status.st_mode) || folder_.Inside(fullPath));
    };
    result = searches_.First(folder->absolute, pattern, r.searchFlags, &handle, &entry, staysInside);
  }
  switch (result) {
    case SearchResult::kFound:
      out.I16(0);
      if (r.op == Op::kFirst) out.I32(handle);
      WriteFoundEntry(out, entry);
      return out;
    case SearchResult::kNothing:
      return Result16(1);
    default:
      return Result16(-1);
  }
}

FieldWriter FileServer::AnswerDatabaseRequest(const Request& r) {
  FieldWriter out;
  // Calls on a file by name.
  switch (r.op) {
    case Op::kOkvAbortSession:
      return Byte(OKVAbortSession());
    case Op::kOkvBeginSession:
      return Byte(OKVBeginSession());
    case Op::kOkvEndSession:
      return Byte(OKVEndSession());
    case Op::kOkvOpenFile:
      return AnswerOpenDatabase(r);
    case Op::kOkvFileExists: {
      const std::optional<ConfinedPath> target = folder_.Resolve(r.path);
      return Result16(target ? OKVFileExists(target->absolute.c_str()) : 0);
    }
    case Op::kOkvCreateFile:
    case Op::kOkvCreateKey:
    case Op::kOkvDeleteFile:
    case Op::kOkvFinalizeCreate: {
      const std::optional<ConfinedPath> target = folder_.Resolve(r.path);
      if (!target || target->relative.empty()) return Byte(kRefused);
      const char* name = target->absolute.c_str();
      if (r.op == Op::kOkvDeleteFile) return Byte(OKVDeleteFile(name));
      if (r.op == Op::kOkvFinalizeCreate) return Byte(OKVFinalizeCreate(name));
      if (r.op == Op::kOkvCreateFile) {
        const std::string text(reinterpret_cast<const char*>(r.fileNameText.data()),
                               strnlen(reinterpret_cast<const char*>(r.fileNameText.data()), kFileNameTextSize));
        return Byte(OKVCreateFile(name, r.openFlags, r.recordSize, r.encrypted, r.recordKey.data(), text.c_str(),
                                  r.fileId));
      }
      uint16_t keyNumber = 0;
      const uint8_t result = OKVCreateKey(name, r.keyType, r.keyOffset, r.keyLength, &keyNumber);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0).U16(keyNumber);
      return out;
    }
    default:
      break;
  }
  // Calls on a handle the service opened.
  const auto found = databases_.find(r.handle);
  if (found == databases_.end()) return Byte(kRefused);
  Database& database = found->second;
  switch (r.op) {
    case Op::kOkvCloseFile: {
      const uint8_t result = OKVCloseFile(r.handle);
      databases_.erase(found);
      return Byte(result);
    }
    case Op::kOkvCreateBTreeRec:
    case Op::kOkvCreateRec:
    case Op::kOkvUpdateRec:
      return AnswerRecordPiece(r, database);
    case Op::kOkvReadRecEQ:
    case Op::kOkvReadRecGE:
    case Op::kOkvReadRecGT:
    case Op::kOkvReadRecLE:
    case Op::kOkvReadRecLT:
      return AnswerKeyPiece(r, database);
    case Op::kOkvReadRec:
    case Op::kOkvReadRecHI:
    case Op::kOkvReadRecLO:
    case Op::kOkvReadRecNX:
    case Op::kOkvReadRecPR:
    case Op::kOkvReadRecIX:
      return AnswerRead(r, database);
    case Op::kOkvContinueRead:
      if (database.lastRecord.empty() || r.pieceOffset >= database.lastRecord.size()) return Byte(kRefused);
      return AnswerRecord(OKV_SUCCESS, database, r.pieceOffset);
    case Op::kOkvDeleteRec:
      return Byte(OKVDeleteRec(r.handle));
    case Op::kOkvFileInfo: {
      OKVFileInfoBuf info{};
      const uint8_t result = OKVFileInfo(r.handle, &info);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0);
      WriteFileInfo(out, info);
      return out;
    }
    case Op::kOkvGetRecIX: {
      uint32_t address = 0;
      const uint8_t result = OKVGetRecIX(r.handle, &address);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0).U32(address);
      return out;
    }
    case Op::kOkvGetSafeWrites: {
      uint8_t flag = 0;
      const uint8_t result = OKVGetSafeWrites(r.handle, &flag);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0).U8(flag);
      return out;
    }
    case Op::kOkvKeyInfo: {
      OKVKeyInfoBuf info{};
      const uint8_t result = OKVKeyInfo(r.handle, r.keyNumber, &info);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0).U16(info.keyOffset).U16(info.keyLength).U8(info.keyType);
      return out;
    }
    case Op::kOkvNumRecords: {
      uint32_t records = 0, nodes = 0;
      const uint8_t result = OKVNumRecords(r.handle, &records, &nodes);
      if (result != OKV_SUCCESS) return Byte(result);
      out.U8(0).U32(records).U32(nodes);
      return out;
    }
    case Op::kOkvSetSafeWrites:
      return Byte(OKVSetSafeWrites(r.handle, r.flag));
    case Op::kOkvSetFileID:
      return Byte(OKVSetFileID(r.handle, r.fileId));
    case Op::kOkvSetFileName:
      return Byte(OKVSetFileName(r.handle, std::string(r.path).c_str()));
    case Op::kOkvSetKey:
      return Byte(OKVSetKey(r.handle, r.recordKey.data()));
    default:
      return FailureAnswer(r.op);
  }
}

FieldWriter FileServer::AnswerOpenDatabase(const Request& r) {
  const std::optional<ConfinedPath> target = folder_.Resolve(r.path);
  if (!target || target->relative.empty()) return Byte(kRefused);
  uint16_t handle = 0;
  uint8_t result = OKVOpenFile(target->absolute.c_str(), r.openMode, &handle);
  if (result != OKV_SUCCESS) return Byte(result);
  OKVFileInfoBuf info{};
  result = OKVFileInfo(handle, &info);
  if (result != OKV_SUCCESS) {
    OKVCloseFile(handle);
    return Byte(result);
  }
  Database& database = databases_[handle];
  database = Database{};
  database.recordSize = info.recordSize;
  FieldWriter out;
  out.U8(0).U16(handle);
  return out;
}

FieldWriter FileServer::AnswerRecordPiece(const Request& r, Database& database) {
  const bool continues = r.pieceOffset != 0;
  if (!continues) ClearPending(database.pending, database.pendingOp);
  if ((continues && (database.pendingOp != r.op || r.pieceOffset != database.pending.size())) ||
      database.pending.size() + r.data.size() > database.recordSize) {
    ClearPending(database.pending, database.pendingOp);
    return Byte(kRefused);
  }
  database.pendingOp = r.op;
  database.pending.insert(database.pending.end(), r.data.begin(), r.data.end());
  if (database.pending.size() < database.recordSize) return Byte(OKV_SUCCESS);
  const std::vector<uint8_t> record = std::move(database.pending);
  ClearPending(database.pending, database.pendingOp);
  return Byte(RecordWriteOf(r.op)(r.handle, record.data()));
}

FieldWriter FileServer::AnswerKeyPiece(const Request& r, Database& database) {
  if (r.pieceOffset == 0) {
    ClearPending(database.pending, database.pendingOp);
    OKVKeyInfoBuf info{};
    if (const uint8_t result = OKVKeyInfo(r.handle, r.keyNumber, &info)) return Byte(result);
    database.pendingOp = r.op;
    database.pendingKeyNumber = r.keyNumber;
    database.pendingKeyLength = info.keyLength;
  }
  if (database.pendingOp != r.op || database.pendingKeyNumber != r.keyNumber ||
      r.pieceOffset != database.pending.size() ||
      database.pending.size() + r.data.size() > database.pendingKeyLength) {
    ClearPending(database.pending, database.pendingOp);
    return Byte(kRefused);
  }
  database.pending.insert(database.pending.end(), r.data.begin(), r.data.end());
  if (database.pending.size() < database.pendingKeyLength) return Byte(OKV_SUCCESS);
  const std::vector<uint8_t> keyValue = std::move(database.pending);
  ClearPending(database.pending, database.pendingOp);
  database.lastRecord.assign(database.recordSize, 0);
  const uint8_t result = KeyedReadOf(r.op)(r.handle, r.keyNumber, keyValue.data(), database.lastRecord.data());
  return AnswerRecord(result, database, 0);
}

FieldWriter FileServer::AnswerRead(const Request& r, Database& database) {
  database.lastRecord.assign(database.recordSize, 0);
  uint8_t* record = database.lastRecord.data();
  uint8_t result = OKV_PARAMETER;
  if (r.op == Op::kOkvReadRec) {
    result = OKVReadRec(r.handle, record);
  } else if (r.op == Op::kOkvReadRecIX) {
    result = OKVReadRecIX(r.handle, r.recordAddress, record);
  } else {
    result = StepReadOf(r.op)(r.handle, r.keyNumber, record);
  }
  return AnswerRecord(result, database, 0);
}

FieldWriter FileServer::AnswerRecord(uint8_t result, Database& database, uint16_t offset) {
  if (result != OKV_SUCCESS) {
    database.lastRecord.clear();
    return Byte(result);
  }
  FieldWriter out;
  const size_t piece = std::min<size_t>(kAnswerPieceSize, database.lastRecord.size() - offset);
  out.U8(0).Bytes({database.lastRecord.data() + offset, piece});
  return out;
}

}  // namespace trk::tqpfs
