// OKV engine operations on a remote node; see remote_okv.h.
#include "tqpfs/remote_okv.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "tqpfs/exchange.h"
#include "tqpfs/layouts.h"
#include "tqpfs/library.h"

namespace trk::tqpfs::remote {

namespace {

constexpr uint8_t kParameter = OKV_PARAMETER;
constexpr size_t kMaxFileNameText = kFileNameTextSize - 1;
constexpr size_t kFileExistsAnswerSize = 2;

// One exchange with the node checks already done; node 0 answers nothing.
uint8_t Send(int node, TQPNodeAddress* address, const FieldWriter& request, Answer& answer) {
  if (request.overflowed()) return kParameter;
  return Exchange(node, address, request.bytes(), answer);
}

// An answer of the engine's result and, when it is 0, exactly `payload` more
// bytes, handed to `unpack`.
template <typename Unpack>
uint8_t UnpackResult(const Answer& answer, size_t payload, Unpack unpack) {
  const auto bytes = answer.view();
  if (bytes.empty()) return kBadReply;
  if (bytes[0] != OKV_SUCCESS) return bytes.size() == 1 ? bytes[0] : kBadReply;
  if (bytes.size() != 1 + payload) return kBadReply;
  FieldReader in(bytes.subspan(1));
  unpack(in);
  return OKV_SUCCESS;
}

// The node checks, the exchange and the unpacking of a result with `payload`
// bytes of out values.
template <typename Unpack>
uint8_t Call(int node, TQPNodeAddress* address, const FieldWriter& request, size_t payload, Unpack unpack) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  Answer answer;
  if (const uint8_t result = Send(node, address, request, answer)) return result;
  if (node == 0) return TQP_OK;
  return UnpackResult(answer, payload, unpack);
}

uint8_t CallForResult(int node, TQPNodeAddress* address, const FieldWriter& request) {
  return Call(node, address, request, 0, [](FieldReader&) {});
}

// Copies the pieces of a record into `record` until it is complete: the first
// answer is at hand, further pieces are asked for with code 33.
uint8_t ReceiveRecord(const RemoteFile& file, const Answer& first, uint8_t* record) {
  Answer answer = first;
  size_t offset = 0;
  for (;;) {
    const auto bytes = answer.view();
    if (bytes.empty()) return kBadReply;
    if (bytes[0] != OKV_SUCCESS) return bytes.size() == 1 ? bytes[0] : kBadReply;
    const auto piece = bytes.subspan(1);
    if (piece.empty() || piece.size() > file.recordSize - offset) return kBadReply;
    std::memcpy(record + offset, piece.data(), piece.size());
    offset += piece.size();
    if (offset == file.recordSize) return OKV_SUCCESS;
    FieldWriter request = NewRequest(Op::kOkvContinueRead);
    request.U16(file.handle).U16(static_cast<uint16_t>(offset));
    TQPNodeAddress address = file.address;
    if (const uint8_t result = Exchange(file.node, &address, request.bytes(), answer)) return result;
  }
}

// Sends the request whose answer begins the record, and receives the record.
// The file is one this library opened, so the node is never 0.
uint8_t ReadWithRequest(int node, TQPNodeAddress* address, const RemoteFile& file, const FieldWriter& request,
                        void* record) {
  Answer answer;
  if (const uint8_t result = Send(node, address, request, answer)) return result;
  return ReceiveRecord(file, answer, static_cast<uint8_t*>(record));
}

}  // namespace

uint8_t Session(Op op, int node, TQPNodeAddress* address) {
  return CallForResult(node, address, NewRequest(op));
}

uint8_t CreateFile(int node, TQPNodeAddress* address, const char* name, uint16_t openFlags, uint16_t recordSize,
                   uint8_t encrypted, const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  const std::string_view text = fileNameText ? fileNameText : "";
  if (name == nullptr || (encrypted && recordKey32 == nullptr) || text.size() > kMaxFileNameText) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvCreateFile);
  request.U16(openFlags).U16(recordSize).U8(encrypted);
  if (recordKey32) {
    request.Bytes({recordKey32, kRecordKeySize});
  } else {
    request.Zeros(kRecordKeySize);
  }
  request.PaddedText(text, kFileNameTextSize).U16(fileId).Text(name);
  return CallForResult(node, address, request);
}

uint8_t CreateKey(int node, TQPNodeAddress* address, const char* name, uint8_t keyType, uint16_t keyOffset,
                  uint16_t keyLength, uint16_t* keyNumber) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (name == nullptr || keyNumber == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvCreateKey);
  request.U8(keyType).U16(keyOffset).U16(keyLength).Text(name);
  return Call(node, address, request, 2, [&](FieldReader& in) { *keyNumber = in.U16(); });
}

uint8_t NameCall(Op op, int node, TQPNodeAddress* address, const char* name) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (name == nullptr) return kParameter;
  FieldWriter request = NewRequest(op);
  request.Text(name);
  return CallForResult(node, address, request);
}

uint8_t FileExists(int node, TQPNodeAddress* address, const char* name, int* exists) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (name == nullptr || exists == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvFileExists);
  request.Text(name);
  Answer answer;
  if (const uint8_t result = Send(node, address, request, answer)) return result;
  if (node == 0) return TQP_OK;
  if (answer.length != kFileExistsAnswerSize) return kBadReply;
  FieldReader in(answer.view());
  *exists = in.I16();
  return TQP_OK;
}

uint8_t OpenFile(int node, TQPNodeAddress* address, const char* name, uint8_t openMode, uint16_t* handle) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (name == nullptr || handle == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvOpenFile);
  request.U8(openMode).Text(name);
  uint16_t opened = 0;
  if (const uint8_t result = Call(node, address, request, 2, [&](FieldReader& in) { opened = in.U16(); })) {
    return result;
  }
  if (node == 0) return TQP_OK;
  OKVFileInfoBuf info{};
  if (const uint8_t result = FileInfo(node, address, opened, &info)) {
    CloseFile(node, address, opened);
    return result;
  }
  RemoteFile file{.recordSize = info.recordSize, .handle = opened, .node = static_cast<uint16_t>(node)};
  if (address) file.address = *address;
  try {
    RemoteFiles().Add(file);
  } catch (const std::bad_alloc&) {
    CloseFile(node, address, opened);
    return OKV_NO_MEMORY;
  }
  *handle = opened;
  return OKV_SUCCESS;
}

uint8_t CloseFile(int node, TQPNodeAddress* address, uint16_t handle) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  FieldWriter request = NewRequest(Op::kOkvCloseFile);
  request.U16(handle);
  const uint8_t result = CallForResult(node, address, request);
  RemoteFiles().Remove(node, address, handle);
  return result;
}

uint8_t FileInfo(int node, TQPNodeAddress* address, uint16_t handle, OKVFileInfoBuf* info) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (info == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvFileInfo);
  request.U16(handle);
  return Call(node, address, request, kFileInfoSize, [&](FieldReader& in) { *info = ReadFileInfo(in); });
}

uint8_t KeyInfo(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (info == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvKeyInfo);
  request.U16(handle).U16(keyNumber);
  return Call(node, address, request, 5, [&](FieldReader& in) {
    info->keyOffset = in.U16();
    info->keyLength = in.U16();
    info->keyType = in.U8();
  });
}

uint8_t NumRecords(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordCount,
                   uint32_t* nodeCount) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (recordCount == nullptr || nodeCount == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvNumRecords);
  request.U16(handle);
  return Call(node, address, request, 8, [&](FieldReader& in) {
    *recordCount = in.U32();
    *nodeCount = in.U32();
  });
}

uint8_t GetRecordAddress(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordAddress) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (recordAddress == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvGetRecIX);
  request.U16(handle);
  return Call(node, address, request, 4, [&](FieldReader& in) { *recordAddress = in.U32(); });
}

uint8_t GetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t* flag) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (flag == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvGetSafeWrites);
  request.U16(handle);
  return Call(node, address, request, 1, [&](FieldReader& in) { *flag = in.U8(); });
}

uint8_t HandleCall(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint16_t value) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  FieldWriter request = NewRequest(op);
  request.U16(handle);
  if (op == Op::kOkvSetSafeWrites) request.U8(static_cast<uint8_t>(value));
  if (op == Op::kOkvSetFileID) request.U16(value);
  return CallForResult(node, address, request);
}

uint8_t SetFileName(int node, TQPNodeAddress* address, uint16_t handle, const char* text) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (text == nullptr || std::strlen(text) > kMaxFileNameText) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvSetFileName);
  request.U16(handle).Text(text);
  return CallForResult(node, address, request);
}

uint8_t SetKey(int node, TQPNodeAddress* address, uint16_t handle, const uint8_t* key32) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  if (key32 == nullptr) return kParameter;
  FieldWriter request = NewRequest(Op::kOkvSetKey);
  request.U16(handle).Bytes({key32, kRecordKeySize});
  return CallForResult(node, address, request);
}

uint8_t SendRecord(Op op, int node, TQPNodeAddress* address, uint16_t handle, const void* record) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  const std::optional<RemoteFile> file = RemoteFiles().Find(node, address, handle);
  if (record == nullptr || !file) return kParameter;
  const auto* bytes = static_cast<const uint8_t*>(record);
  size_t offset = 0;
  do {
    const size_t piece = std::min<size_t>(kRecordPieceSize, file->recordSize - offset);
    FieldWriter request = NewRequest(op);
    request.U16(handle).U16(static_cast<uint16_t>(offset)).Bytes({bytes + offset, piece});
    if (const uint8_t result = CallForResult(node, address, request)) return result;
    offset += piece;
  } while (offset < file->recordSize);
  return OKV_SUCCESS;
}

uint8_t ReadByKey(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                  const void* keyValue, void* record) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  const std::optional<RemoteFile> file = RemoteFiles().Find(node, address, handle);
  if (keyValue == nullptr || record == nullptr || !file) return kParameter;
  OKVKeyInfoBuf key{};
  if (const uint8_t result = KeyInfo(node, address, handle, keyNumber, &key)) return result;
  // A text key ends at its terminator, as the engine reads it; the rest travels as zeros.
  std::vector<uint8_t> value(key.keyLength, 0);
  const size_t given = (key.keyType & OKV_KEY_TYPE_MASK) == OKV_KEY_STRING
                           ? strnlen(static_cast<const char*>(keyValue), key.keyLength)
                           : key.keyLength;
  if (given != 0) std::memcpy(value.data(), keyValue, given);
  size_t offset = 0;
  for (;;) {
    const size_t piece = std::min<size_t>(kKeyPieceSize, value.size() - offset);
    FieldWriter request = NewRequest(op);
    request.U16(handle).U16(keyNumber).U16(static_cast<uint16_t>(offset)).Bytes({value.data() + offset, piece});
    offset += piece;
    if (offset == value.size()) return ReadWithRequest(node, address, *file, request, record);
    Answer answer;
    if (const uint8_t result = Send(node, address, request, answer)) return result;
    if (answer.length != 1) return kBadReply;
    if (answer.bytes[0] != OKV_SUCCESS) return answer.bytes[0];
  }
}

uint8_t Read(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint32_t keyNumberOrAddress, void* record) {
  if (const uint8_t result = CheckRemoteNode(node)) return result;
  const std::optional<RemoteFile> file = RemoteFiles().Find(node, address, handle);
  if (record == nullptr || !file) return kParameter;
  FieldWriter request = NewRequest(op);
  request.U16(handle);
  if (op == Op::kOkvReadRecIX) {
    request.U32(keyNumberOrAddress);
  } else if (op != Op::kOkvReadRec) {
    request.U16(static_cast<uint16_t>(keyNumberOrAddress));
  }
  return ReadWithRequest(node, address, *file, request, record);
}

}  // namespace trk::tqpfs::remote
