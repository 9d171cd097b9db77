// Request decoding; the layouts are listed in request.h.
#include "tqpfs/request.h"

#include "tqpfs/fields.h"
#include "tqpfs/layouts.h"

namespace trk::tqpfs {

namespace {

// Reads the fields of `request.op`; false when the code names no operation.
bool ReadFields(FieldReader& in, Request& r) {
  switch (r.op) {
    case Op::kProductInformation:
    case Op::kAbort:
    case Op::kDownloadCount:
    case Op::kCompare:
    case Op::kFsRequest:
    case Op::kOkvAbortSession:
    case Op::kOkvBeginSession:
    case Op::kOkvEndSession:
    case Op::kGetOsDate:
    case Op::kGetDisk:
      return true;
    case Op::kSlave:
      r.slaveValue = in.U16();
      return true;
    case Op::kOkvCloseFile:
    case Op::kOkvDeleteRec:
    case Op::kOkvFileInfo:
    case Op::kOkvGetRecIX:
    case Op::kOkvGetSafeWrites:
    case Op::kOkvNumRecords:
    case Op::kOkvReadRec:
    case Op::kSetEof:
    case Op::kClose:
    case Op::kTell:
    case Op::kEof:
    case Op::kCommit:
      r.handle = in.U16();
      return true;
    case Op::kOkvCreateBTreeRec:
    case Op::kOkvCreateRec:
    case Op::kOkvUpdateRec:
      r.handle = in.U16();
      r.pieceOffset = in.U16();
      r.data = in.Rest();
      return true;
    case Op::kOkvCreateFile:
      r.openFlags = in.U16();
      r.recordSize = in.U16();
      r.encrypted = in.U8();
      r.recordKey = in.Bytes(kRecordKeySize);
      r.fileNameText = in.Bytes(kFileNameTextSize);
      r.fileId = in.U16();
      r.path = in.Text();
      return true;
    case Op::kOkvCreateKey:
      r.keyType = in.U8();
      r.keyOffset = in.U16();
      r.keyLength = in.U16();
      r.path = in.Text();
      return true;
    case Op::kOkvDeleteFile:
    case Op::kOkvFileExists:
    case Op::kOkvFinalizeCreate:
    case Op::kGetAttrib:
    case Op::kGetDate:
    case Op::kMakeDir:
    case Op::kRemoveDir:
    case Op::kChangeDir:
    case Op::kRemove:
      r.path = in.Text();
      return true;
    case Op::kOkvKeyInfo:
    case Op::kOkvReadRecHI:
    case Op::kOkvReadRecLO:
    case Op::kOkvReadRecNX:
    case Op::kOkvReadRecPR:
      r.handle = in.U16();
      r.keyNumber = in.U16();
      return true;
    case Op::kOkvOpenFile:
      r.openMode = in.U8();
      r.path = in.Text();
      return true;
    case Op::kOkvContinueRead:
      r.handle = in.U16();
      r.pieceOffset = in.U16();
      return true;
    case Op::kOkvReadRecEQ:
    case Op::kOkvReadRecGE:
    case Op::kOkvReadRecGT:
    case Op::kOkvReadRecLE:
    case Op::kOkvReadRecLT:
      r.handle = in.U16();
      r.keyNumber = in.U16();
      r.pieceOffset = in.U16();
      r.data = in.Rest();
      return true;
    case Op::kOkvReadRecIX:
      r.handle = in.U16();
      r.recordAddress = in.U32();
      return true;
    case Op::kOkvSetSafeWrites:
      r.handle = in.U16();
      r.flag = in.U8();
      return true;
    case Op::kOkvSetFileID:
      r.handle = in.U16();
      r.fileId = in.U16();
      return true;
    case Op::kOkvSetFileName:
      r.handle = in.U16();
      r.path = in.Text();
      return true;
    case Op::kOkvSetKey:
      r.handle = in.U16();
      r.recordKey = in.Bytes(kRecordKeySize);
      return true;
    case Op::kCloseFind:
    case Op::kNext:
      r.findHandle = in.I32();
      return true;
    case Op::kSetOsDate:
      r.date = ReadDate(in);
      return true;
    case Op::kSetAttrib:
      r.attributes = in.U32();
      r.path = in.Text();
      return true;
    case Op::kSetDate:
      r.date = ReadDate(in);
      r.path = in.Text();
      return true;
    case Op::kGetDir:
    case Op::kDrive:
    case Op::kSetDisk:
      r.drive = in.U8();
      return true;
    case Op::kFirst:
      r.searchFlags = in.U32();
      r.path = in.Text();
      return true;
    case Op::kOpen:
      r.openFlags = in.U16();
      r.permission = in.U16();
      r.path = in.Text();
      return true;
    case Op::kCreat:
      r.permission = in.U16();
      r.path = in.Text();
      return true;
    case Op::kRead:
      r.handle = in.U16();
      r.count = in.U16();
      return true;
    case Op::kWrite:
      r.handle = in.U16();
      r.count = in.U16();
      r.data = in.Bytes(r.count);
      return true;
    case Op::kLseek:
      r.handle = in.U16();
      r.origin = in.U16();
      r.seekOffset = in.I32();
      return true;
    case Op::kRename:
      r.path = in.Text();
      r.secondPath = in.Text();
      return true;
  }
  return false;
}

}  // namespace

bool IsKnownOp(uint8_t code) {
  Request probe;
  probe.op = static_cast<Op>(code);
  FieldReader nothing({});
  return ReadFields(nothing, probe);
}

DecodeStatus DecodeRequest(std::span<const uint8_t> bytes, Request& request) {
  request = Request{};
  if (bytes.empty()) return DecodeStatus::kEmpty;
  request.op = static_cast<Op>(bytes[0]);
  FieldReader in(bytes.subspan(1));
  if (!ReadFields(in, request)) return DecodeStatus::kUnknownCode;
  return in.failed() ? DecodeStatus::kMalformed : DecodeStatus::kOk;
}

}  // namespace trk::tqpfs
