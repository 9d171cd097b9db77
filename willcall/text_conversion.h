// The will-call text conversion: bytes through the tokenizer, the record type
// check of field 1, the field handler for the others, and the run over a file
// with its progress bar.
//
// Contract:
//  - A line is "WC" and fields 2 to 19; its record is written when field 19
//    ends. A bad record type, a field the handler refuses and a line that ends
//    before its record was written are failures (Reporter::Failure); the
//    conversion always goes on to the end of the input.
//  - ConvertTextFile logs the source, reads the whole file, and shows, steps and
//    hides the progress bar. A file that cannot be opened is a failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "willcall/environment.h"
#include "willcall/field_handler.h"
#include "willcall/text_tokenizer.h"

namespace trk::willcall {

class TextConversion final : private FieldEvents {
 public:
  TextConversion(Reporter& reporter, Clock& clock, RecordWriter writer)
      : reporter_(reporter), handler_(reporter, clock, std::move(writer)) {}

  void Push(char byte) { tokenizer_.Push(byte); }
  void Push(std::string_view bytes) {
    for (const char byte : bytes) tokenizer_.Push(byte);
  }
  void Finish() { tokenizer_.Finish(); }

  uint32_t recordsWritten() const { return handler_.recordsWritten(); }

 private:
  void OnField(int fieldNumber, std::string_view text, uint32_t lineNumber) override;
  void OnLineEnd(uint32_t lineNumber) override;

  Reporter& reporter_;
  FieldHandler handler_;
  FieldTokenizer tokenizer_{*this};
};

// How the progress bar follows a file of `length` bytes: its maximum, and the
// number of bytes per step (the bar holds at most 32767 steps).
struct ProgressPlan {
  uint32_t maximum;
  uint64_t bytesPerStep;
};
ProgressPlan PlanProgress(uint64_t length);

// Converts the will-call text file at `path`; returns the records written.
uint32_t ConvertTextFile(const std::string& path, Reporter& reporter, Clock& clock, ProgressView& progress,
                         RecordWriter writer);

}  // namespace trk::willcall
