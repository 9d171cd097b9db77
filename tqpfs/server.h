// The serving node's dispatcher: answers one request of the remote file
// service at a time, for one served folder, through the OKV engine for the
// database operations.
//
// Every request, of any length and content, gets an answer of at most 255
// bytes in its operation's layout: the operation's result, or its failure
// result (-1 for the file operations, 1, the engine's parameter error, for the
// database operations) when the request is malformed, names a path outside the
// served folder, or names a handle the service did not open. Unknown codes and
// empty requests are answered with the single byte 1.
//
// State between requests: the files, searches and engine handles opened
// through the service, the current folder, and per engine handle the pieces
// of a record or key value still arriving and the last record read (for
// continued reads). Not thread-safe: one dispatcher serves one link.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "tqpfs/confine.h"
#include "tqpfs/fields.h"
#include "tqpfs/local_files.h"
#include "tqpfs/local_search.h"
#include "tqpfs/request.h"

namespace trk::tqpfs {

inline constexpr uint8_t kProductCode = 0x46;
inline constexpr char kProductText[] = "TQPFS node v1.09";

struct ServerOptions {
  bool allowClockSetting = false;
};

class FileServer {
 public:
  FileServer(ServedFolder folder, ServerOptions options);
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;
  ~FileServer();  // closes the engine handles opened through the service

  FieldWriter Answer(std::span<const uint8_t> requestBytes);

 private:
  // An engine handle opened through the service.
  struct Database {
    uint16_t recordSize = 0;
    Op pendingOp = Op::kProductInformation;  // of the pieces below
    uint16_t pendingKeyNumber = 0;
    uint16_t pendingKeyLength = 0;
    std::vector<uint8_t> pending;     // record or key-value pieces so far
    std::vector<uint8_t> lastRecord;  // for continued reads
  };

  FieldWriter AnswerFileRequest(const Request& request);
  FieldWriter AnswerDatabaseRequest(const Request& request);
  FieldWriter AnswerPathRequest(const Request& request);
  FieldWriter AnswerSearch(const Request& request);
  FieldWriter AnswerOpenDatabase(const Request& request);
  FieldWriter AnswerRecordPiece(const Request& request, Database& database);
  FieldWriter AnswerKeyPiece(const Request& request, Database& database);
  FieldWriter AnswerRead(const Request& request, Database& database);
  FieldWriter AnswerRecord(uint8_t result, Database& database, uint16_t offset);

  ServedFolder folder_;
  ServerOptions options_;
  FileTable files_;
  SearchList searches_;
  std::map<uint16_t, Database> databases_;
  int32_t downloadCount_ = 0;  // files opened for writing through the service
};

}  // namespace trk::tqpfs
