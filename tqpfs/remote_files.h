// File operations on a remote node (0 to 255): each packs one request, has it
// exchanged, and unpacks the answer into the caller's out-arguments. The
// exported functions check the pointers and handle node 0xFFFF first.
//
// Results: the node checks (215, 202), 213 when the request does not fit one
// frame, the link's own failures unchanged, 218 when the answer is too short
// for its layout (or, for TQPcompare, TQPdownloadCount and TQPgdir, not of the
// exact length), else 0. Out-arguments are written only on 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "tqpfs/local_search.h"
#include "tqpfs/request.h"
#include "tqpfs/tqpfs.h"

namespace trk::tqpfs::remote {

uint8_t Open(int node, TQPNodeAddress* address, const char* path, int flags, int mode, int* handle);
uint8_t Create(int node, TQPNodeAddress* address, const char* path, int mode, int* handle);
// Close, commit, end-of-file test, set end of file: the answer's i16 result.
uint8_t HandleCall(Op op, int node, TQPNodeAddress* address, int handle, int* result);
uint8_t Tell(int node, TQPNodeAddress* address, int handle, int* position);
uint8_t Read(int node, TQPNodeAddress* address, int handle, void* buffer, unsigned count, int* countRead);
uint8_t Write(int node, TQPNodeAddress* address, int handle, const void* buffer, unsigned count,
              int* countWritten);
uint8_t Seek(int node, TQPNodeAddress* address, int handle, int offset, int origin, int* position);

// Remove, change, make and remove directory: the answer's i16 result.
uint8_t PathCall(Op op, int node, TQPNodeAddress* address, const char* path, int* result);
uint8_t Rename(int node, TQPNodeAddress* address, const char* oldPath, const char* newPath, int* result);
uint8_t GetDirectory(int node, TQPNodeAddress* address, uint8_t drive, char* directory, int* result);
uint8_t GetAttributes(int node, TQPNodeAddress* address, const char* path, int* attributes, int* result);
uint8_t SetAttributes(int node, TQPNodeAddress* address, const char* path, int attributes, int* result);
// Dates of a file (path given) or of the clock (path null).
uint8_t GetDate(int node, TQPNodeAddress* address, const char* path, DateFields* date, int* result);
uint8_t SetDate(int node, TQPNodeAddress* address, const char* path, const DateFields& date, int* result);

uint8_t GetDisk(int node, TQPNodeAddress* address, uint8_t* drive, int* result);
uint8_t SetDisk(int node, TQPNodeAddress* address, uint8_t drive, int* result);
uint8_t QueryDrive(int node, TQPNodeAddress* address, uint8_t drive, uint32_t* bytesPerSector,
                   uint32_t* sectorsPerCluster, uint32_t* totalClusters, uint32_t* freeClusters, int* result);

uint8_t First(int node, TQPNodeAddress* address, const char* path, int flags, int* findHandle, TQPFindInfo* info,
              int16_t* result);
uint8_t Next(int node, TQPNodeAddress* address, int findHandle, TQPFindInfo* info, int16_t* result);
uint8_t CloseFind(int node, TQPNodeAddress* address, int findHandle, int16_t* result);

// Abort, slave, fs request: the answer's first byte is the call's result.
uint8_t ByteCall(Op op, int node, TQPNodeAddress* address, uint16_t slaveValue);
uint8_t DownloadCount(int node, TQPNodeAddress* address, int* count);
uint8_t Compare(int node, TQPNodeAddress* address);

}  // namespace trk::tqpfs::remote

namespace trk::tqpfs {
// Copies a found entry and its short name into the caller's record.
void FillFindInfo(const FoundEntry& entry, std::string_view shortName, TQPFindInfo* info);
}  // namespace trk::tqpfs
