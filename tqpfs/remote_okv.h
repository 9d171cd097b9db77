// OKV engine operations on a remote node: the engine's arguments packed into
// requests, its result code and out values unpacked from the answers. Records
// travel in pieces (250 bytes out, 254 bytes back per answer, continued with
// code 33) and key values in pieces of 248 bytes, so reads and writes of
// records need the file's record size, kept in the library's list of remote
// files by the remote open.
//
// Results: the node checks (215, 202); 1, the engine's parameter error, for an
// absent pointer, a name or text too long for its request, or a record
// transfer on a file this library did not open on that node (nothing is sent);
// the link's own failures unchanged; 218 for an answer that is not of the
// expected length (a non-zero result comes alone; a zero result with exactly
// its out values); else the remote engine's code.
#pragma once

#include <cstdint>

#include "tqpfs/request.h"
#include "tqpfs/tqpfs.h"

namespace trk::tqpfs::remote {

// Sessions: the answer is the result alone.
uint8_t Session(Op op, int node, TQPNodeAddress* address);
uint8_t CreateFile(int node, TQPNodeAddress* address, const char* name, uint16_t openFlags, uint16_t recordSize,
                   uint8_t encrypted, const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId);
uint8_t CreateKey(int node, TQPNodeAddress* address, const char* name, uint8_t keyType, uint16_t keyOffset,
                  uint16_t keyLength, uint16_t* keyNumber);
// Delete and finalize: a name, the result alone.
uint8_t NameCall(Op op, int node, TQPNodeAddress* address, const char* name);
uint8_t FileExists(int node, TQPNodeAddress* address, const char* name, int* exists);
uint8_t OpenFile(int node, TQPNodeAddress* address, const char* name, uint8_t openMode, uint16_t* handle);
uint8_t CloseFile(int node, TQPNodeAddress* address, uint16_t handle);
uint8_t FileInfo(int node, TQPNodeAddress* address, uint16_t handle, OKVFileInfoBuf* info);
uint8_t KeyInfo(int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info);
uint8_t NumRecords(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordCount,
                   uint32_t* nodeCount);
uint8_t GetRecordAddress(int node, TQPNodeAddress* address, uint16_t handle, uint32_t* recordAddress);
uint8_t GetSafeWrites(int node, TQPNodeAddress* address, uint16_t handle, uint8_t* flag);
// Delete record, set safe writes, set file ID: a handle and a value, the result alone.
uint8_t HandleCall(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint16_t value);
uint8_t SetFileName(int node, TQPNodeAddress* address, uint16_t handle, const char* text);
uint8_t SetKey(int node, TQPNodeAddress* address, uint16_t handle, const uint8_t* key32);

// Create, create in key order, update: the record in pieces.
uint8_t SendRecord(Op op, int node, TQPNodeAddress* address, uint16_t handle, const void* record);
// EQ, GE, GT, LE, LT: the key value in pieces, then the record.
uint8_t ReadByKey(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint16_t keyNumber,
                  const void* keyValue, void* record);
// LO, HI, NX, PR (a key number), IX (a record address), the keyless read (nothing).
uint8_t Read(Op op, int node, TQPNodeAddress* address, uint16_t handle, uint32_t keyNumberOrAddress, void* record);

}  // namespace trk::tqpfs::remote
