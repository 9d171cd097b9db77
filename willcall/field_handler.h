// The field handler of the will-call conversion: builds one WillCallRecord from
// fields 2 to 19 of a line and writes it when field 19 ends.
//
// Contract:
//  - Field 2, the access number, starts a record: empty gives kFieldEmpty, more
//    than 12 characters kFieldTooLong, and either leaves the rest of the line
//    unhandled (no record). Fields 3 to 19 fill the record while one is active;
//    an empty field is skipped, a too long one is logged, left out and reported
//    with kFieldTooLong. Trailing spaces are removed before any check.
//  - Field 19 writes the record through the RecordWriter with the current local
//    time as entryTimestamp. While the writer answers OKV_DUPLICATE_KEY (a
//    record for this access number was written in this second) the handler
//    waits for the next second and tries again. Another failure is logged with
//    the engine's error line and returned.
//  - Fields after 19 are logged as too many and return 0.
//  - Every message goes to the Reporter's log; the caller decides what a
//    non-zero result means for the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "schema/willcall.h"
#include "willcall/environment.h"

namespace trk::willcall {

inline constexpr uint8_t kFieldTooLong = 101;
inline constexpr uint8_t kFieldEmpty = 102;

inline constexpr int kAccessNumberField = 2;
inline constexpr int kLastField = 19;

using RecordWriter = std::function<uint8_t(const schema::WillCallRecord&)>;

class FieldHandler {
 public:
  FieldHandler(Reporter& reporter, Clock& clock, RecordWriter writer)
      : reporter_(reporter), clock_(clock), writer_(std::move(writer)) {}

  uint8_t Handle(int fieldNumber, std::string_view text);

  // True while a record has its access number but has not been written.
  bool RecordPending() const { return recordPending_; }
  void AbandonRecord() { recordPending_ = false; }
  uint32_t recordsWritten() const { return recordsWritten_; }

 private:
  uint8_t HandleAccessNumber(std::string_view text);
  uint8_t HandleTextField(int fieldNumber, std::string_view text);
  uint8_t WriteRecord();

  Reporter& reporter_;
  Clock& clock_;
  RecordWriter writer_;
  schema::WillCallRecord record_{};
  bool recordActive_ = false;
  bool recordPending_ = false;
  uint32_t recordsWritten_ = 0;
};

}  // namespace trk::willcall
