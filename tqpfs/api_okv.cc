// The exported OKV operations: the engine itself under the mutex "TQTQPF" for
// node 0xFFFF, the remote engine otherwise.
#include "tqpfs/exchange.h"
#include "tqpfs/library.h"
#include "tqpfs/remote_okv.h"
#include "tqpfs/tqpfs.h"

namespace {

using namespace trk::tqpfs;

template <typename Call>
uint8_t Locally(Call call) {
  trk::platform::NamedMutexLock lock(LibraryMutex());
  return call();
}

}  // namespace

extern "C" {

uint8_t TQPOKVAbortSession(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return Locally([] { return OKVAbortSession(); });
  return remote::Session(Op::kOkvAbortSession, node, address);
}

uint8_t TQPOKVBeginSession(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return Locally([] { return OKVBeginSession(); });
  return remote::Session(Op::kOkvBeginSession, node, address);
}

uint8_t TQPOKVEndSession(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return Locally([] { return OKVEndSession(); });
  return remote::Session(Op::kOkvEndSession, node, address);
}

uint8_t TQPOKVCreateFile(int node, TQPNodeAddress* address, const char* name, uint16_t openFlags,
                         uint16_t recordSize, uint8_t encrypted, const uint8_t* recordKey32, const char* fileNameText,
                         uint16_t fileId) {
  if (IsLocalNode(node)) {
    return Locally([&] {
      return OKVCreateFile(name, openFlags, recordSize, encrypted, recordKey32, fileNameText, fileId);
    });
  }
  return remote::CreateFile(node, address, name, openFlags, recordSize, encrypted, recordKey32, fileNameText,
                            fileId);
}

uint8_t TQPOKVCreateKey(int node, TQPNodeAddress* address, const char* name, uint8_t keyType, uint16_t keyOffset,
                        uint16_t keyLength, uint16_t* keyNumber) {
  if (IsLocalNode(node)) {
    return Locally([&] { return OKVCreateKey(name, keyType, keyOffset, keyLength, keyNumber); });
  }
  return remote::CreateKey(node, address, name, keyType, keyOffset, keyLength, keyNumber);
}

uint8_t TQPOKVFinalizeCreate(int node, TQPNodeAddress* address, const char* name) {
  if (IsLocalNode(node)) return Locally([&] { return OKVFinalizeCreate(name); });
  return remote::NameCall(Op::kOkvFinalizeCreate, node, address, name);
}

uint8_t TQPOKVDeleteFile(int node, TQPNodeAddress* address, const char* name) {
  if (IsLocalNode(node)) return Locally([&] { return OKVDeleteFile(name); });
  return remote::NameCall(Op::kOkvDeleteFile, node, address, name);
}

uint8_t TQPOKVFileExists(int node, TQPNodeAddress* address, const char* name, int* exists) {
  if (IsLocalNode(node)) {
    return Locally([&]() -> uint8_t {
      if (exists == nullptr) return OKV_PARAMETER;
      *exists = OKVFileExists(name);
      return OKV_SUCCESS;
    });
  }
  return remote::FileExists(node, address, name, exists);
}

uint8_t TQPOKVOpenFile(int node, TQPNodeAddress* address, const char* name, uint8_t openMode, uint16_t* handle) {
  if (IsLocalNode(node)) return Locally([&] { return OKVOpenFile(name, openMode, handle); });
  return remote::OpenFile(node, address, name, openMode, handle);
}

uint8_t TQPOKVCloseFile(int node, TQPNodeAddress* address, uint16_t handle) {
  if (IsLocalNode(node)) return Locally([&] { return OKVCloseFile(handle); });
  return remote::CloseFile(node, address, handle);
}

uint8_t TQPOKVFileInfo(int node, TQPNodeAddress* address, uint16_t handle, OKVFileInfoBuf* info) {
  if (IsLocalNode(node)) return Locally([&] { return OKVFileInfo(handle, info); });
  return remote::FileInfo(node, address, handle, info);
}

uint8_t TQPOKVKeyInfo(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info) {
  if (IsLocalNode(node)) return Locally([&] { return OKVKeyInfo(handle, keyNumber, info); });
  return remote::KeyInfo(node, address, handle, keyNumber, info);
}

uint8_t TQPOKVSetFileName(int node, TQPNodeAddress* address, uint16_t handle, const char* text) {
  if (IsLocalNode(node)) return Locally([&] { return OKVSetFileName(handle, text); });
  return remote::SetFileName(node, address, handle, text);
}

uint8_t TQPOKVSetFileID(int node, TQPNodeAddress* address, uint16_t handle, uint16_t fileId) {
  if (IsLocalNode(node)) return Locally([&] { return OKVSetFileID(handle, fileId); });
  return remote::HandleCall(Op::kOkvSetFileID, node, address, handle, fileId);
}

uint8_t TQPOKVNumRecords(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordCount,
                         uint32_t* nodeCount) {
  if (IsLocalNode(node)) return Locally([&] { return OKVNumRecords(handle, recordCount, nodeCount); });
  return remote::NumRecords(node, address, handle, recordCount, nodeCount);
}

uint8_t TQPOKVSetKey(int node, TQPNodeAddress* address, uint16_t handle, const uint8_t* key32) {
  if (IsLocalNode(node)) return Locally([&] { return OKVSetKey(handle, key32); });
  return remote::SetKey(node, address, handle, key32);
}

uint8_t TQPOKVGetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t* flag) {
  if (IsLocalNode(node)) return Locally([&] { return OKVGetSafeWrites(handle, flag); });
  return remote::GetSafeWrites(node, address, handle, flag);
}

uint8_t TQPOKVSetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t flag) {
  if (IsLocalNode(node)) return Locally([&] { return OKVSetSafeWrites(handle, flag); });
  return remote::HandleCall(Op::kOkvSetSafeWrites, node, address, handle, flag);
}

uint8_t TQPOKVCreateRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record) {
  if (IsLocalNode(node)) return Locally([&] { return OKVCreateRec(handle, record); });
  return remote::SendRecord(Op::kOkvCreateRec, node, address, handle, record);
}

uint8_t TQPOKVCreateBTreeRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record) {
  if (IsLocalNode(node)) return Locally([&] { return OKVCreateBTreeRec(handle, record); });
  return remote::SendRecord(Op::kOkvCreateBTreeRec, node, address, handle, record);
}

uint8_t TQPOKVUpdateRec(int node, TQPNodeAddress* address, uint16_t handle, const void* record) {
  if (IsLocalNode(node)) return Locally([&] { return OKVUpdateRec(handle, record); });
  return remote::SendRecord(Op::kOkvUpdateRec, node, address, handle, record);
}

uint8_t TQPOKVDeleteRec(int node, TQPNodeAddress* address, uint16_t handle) {
  if (IsLocalNode(node)) return Locally([&] { return OKVDeleteRec(handle); });
  return remote::HandleCall(Op::kOkvDeleteRec, node, address, handle, 0);
}

#define TQPFS_KEYED_READ(Name, EngineCall, OpCode)                                                      \
  uint8_t Name(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber, const void* keyValue, \
               void* record) {                                                                          \
    if (IsLocalNode(node)) return Locally([&] { return EngineCall(handle, keyNumber, keyValue, record); });   \
    return remote::ReadByKey(OpCode, node, address, handle, keyNumber, keyValue, record);               \
  }
TQPFS_KEYED_READ(TQPOKVReadRecEQ, OKVReadRecEQ, Op::kOkvReadRecEQ)
TQPFS_KEYED_READ(TQPOKVReadRecGE, OKVReadRecGE, Op::kOkvReadRecGE)
TQPFS_KEYED_READ(TQPOKVReadRecGT, OKVReadRecGT, Op::kOkvReadRecGT)
TQPFS_KEYED_READ(TQPOKVReadRecLE, OKVReadRecLE, Op::kOkvReadRecLE)
TQPFS_KEYED_READ(TQPOKVReadRecLT, OKVReadRecLT, Op::kOkvReadRecLT)
#undef TQPFS_KEYED_READ

#define TQPFS_STEP_READ(Name, EngineCall, OpCode)                                                               \
  uint8_t Name(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber, void* record) {          \
    if (IsLocalNode(node)) return Locally([&] { return EngineCall(handle, keyNumber, record); });             \
    return remote::Read(OpCode, node, address, handle, keyNumber, record);                                    \
  }
TQPFS_STEP_READ(TQPOKVReadRecLO, OKVReadRecLO, Op::kOkvReadRecLO)
TQPFS_STEP_READ(TQPOKVReadRecHI, OKVReadRecHI, Op::kOkvReadRecHI)
TQPFS_STEP_READ(TQPOKVReadRecNX, OKVReadRecNX, Op::kOkvReadRecNX)
TQPFS_STEP_READ(TQPOKVReadRecPR, OKVReadRecPR, Op::kOkvReadRecPR)
#undef TQPFS_STEP_READ

uint8_t TQPOKVReadRecIX(int node, TQPNodeAddress* address, uint16_t handle, uint32_t recordAddress, void* record) {
  if (IsLocalNode(node)) return Locally([&] { return OKVReadRecIX(handle, recordAddress, record); });
  return remote::Read(Op::kOkvReadRecIX, node, address, handle, recordAddress, record);
}

uint8_t TQPOKVGetRecIX(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordAddress) {
  if (IsLocalNode(node)) return Locally([&] { return OKVGetRecIX(handle, recordAddress); });
  return remote::GetRecordAddress(node, address, handle, recordAddress);
}

uint8_t TQPOKVReadRec(int node, TQPNodeAddress* address, uint16_t handle, void* record) {
  if (IsLocalNode(node)) return Locally([&] { return OKVReadRec(handle, record); });
  return remote::Read(Op::kOkvReadRec, node, address, handle, 0, record);
}

}  // extern "C"
