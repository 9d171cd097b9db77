// The dispatch text file reader: bytes in, quoted comma-separated fields out.
//
// Contract:
//  - Feed() takes the file's raw bytes in any slicing; CR LF is read as LF (text
//    mode), a lone CR stays a CR. Finish() marks the end of the file: a last line
//    without a line end is completed as if it had one.
//  - A field ends only at a comma, CR or LF that directly follows a closing quote;
//    an LF anywhere else ends the line and drops a half-read field. Characters
//    outside quotes belong to the next field.
//  - Fields hold at most kFieldCapacity characters; a longer field arrives
//    truncated with `overflowed` set, and nothing is written past the buffer.
//  - Field numbers count from 1 per line and never wrap; line numbers count the
//    fields' line ends (CR or LF right after a closing quote), starting at 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trk::tqload {

enum class FieldEnd : uint8_t { Comma, CarriageReturn, LineFeed };

struct RawField {
  std::string_view text;  // valid during the call only
  uint32_t number;
  uint32_t line;
  FieldEnd end;
  bool overflowed;
};

class FieldConsumer {
 public:
  virtual void OnField(const RawField& field) = 0;
  // The line is over (an LF): per-line state such as the record type resets.
  virtual void OnLineReset() = 0;

 protected:
  ~FieldConsumer() = default;
};

class DispatchTextReader {
 public:
  static constexpr size_t kFieldCapacity = 275;  // a 276-byte buffer with its NUL

  // keepLoneQuote: a quote inside a quoted field followed by an ordinary character
  // is kept together with it (the office's rule); otherwise the quote is dropped.
  DispatchTextReader(FieldConsumer& consumer, bool keepLoneQuote);

  void Feed(std::string_view bytes);
  void Finish();

 private:
  void Take(char c);
  void Store(char c);
  void EndField(char terminator);
  void ResetLine();

  FieldConsumer& consumer_;
  const bool keepLoneQuote_;
  std::string text_;
  uint32_t fieldNumber_ = 0;
  uint32_t line_ = 1;
  bool inQuotes_ = false;
  bool afterQuote_ = false;  // a quote was read inside quotes; the next character decides
  bool pendingCarriageReturn_ = false;
  bool overflowed_ = false;
};

}  // namespace trk::tqload
