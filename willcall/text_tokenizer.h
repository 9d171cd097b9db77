// The tokenizer of the will-call text file: cuts a stream of bytes into numbered
// fields of numbered lines.
//
// The file is a quoted, comma-separated text with CR LF line ends:
//   "WC","ACCESS","product",... (19 fields)
// A field ends with a closing quote followed by a comma, CR or LF; two quotes
// inside quotes stand for one quote; a closing quote followed by any other byte
// keeps both in the text. Bytes outside quotes are kept like bytes inside. A
// line feed that does not follow a closing quote starts a new line and drops the
// unfinished field. A field keeps at most kMaxFieldLength characters.
//
// Contract:
//  - Push takes every byte of the file in order, then Finish once. Any input is
//    accepted; memory stays bounded by the field length.
//  - OnField gets the field number (from 1) and the line number (from 1) of the
//    line the field is on. A field closed by a line end whose text is "WC" is
//    numbered kLoneRecordTypeField instead.
//  - OnLineEnd follows the last field of every line, also of the last line.
//  - A closing quote at the very end of the file ends its field and line, so a
//    last line without its CR LF is not lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trk::willcall {

inline constexpr size_t kMaxFieldLength = 269;
inline constexpr int kLoneRecordTypeField = 250;

class FieldEvents {
 public:
  virtual ~FieldEvents() = default;
  virtual void OnField(int fieldNumber, std::string_view text, uint32_t lineNumber) = 0;
  virtual void OnLineEnd(uint32_t lineNumber) = 0;
};

class FieldTokenizer {
 public:
  explicit FieldTokenizer(FieldEvents& events) : events_(events) {}

  void Push(char byte);
  void Finish();

 private:
  void Append(char byte);
  void EndField(char terminator);
  void EndLine();

  FieldEvents& events_;
  std::string text_;
  bool inQuotes_ = false;
  bool quoteInQuotes_ = false;  // a quote inside quotes waits for the byte after it
  int fieldNumber_ = 0;
  uint32_t lineNumber_ = 1;
};

}  // namespace trk::willcall
