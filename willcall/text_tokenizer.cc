// The will-call text tokenizer, one byte at a time.
#include "willcall/text_tokenizer.h"

#include <limits>

namespace trk::willcall {

void FieldTokenizer::Push(char byte) {
  if (quoteInQuotes_) {
    quoteInQuotes_ = false;
    if (byte == ',' || byte == '\r' || byte == '\n') {
      EndField(byte);
    } else if (byte == '"') {
      Append('"');
    } else {
      Append('"');
      Append(byte);
    }
    return;
  }
  if (byte == '\n') {
    EndLine();
  } else if (byte == '"') {
    if (inQuotes_) {
      quoteInQuotes_ = true;
    } else {
      inQuotes_ = true;
    }
  } else {
    Append(byte);
  }
}

void FieldTokenizer::Finish() {
  if (quoteInQuotes_) {
    quoteInQuotes_ = false;
    EndField('\n');
  } else {
    EndLine();
  }
}

void FieldTokenizer::Append(char byte) {
  if (text_.size() < kMaxFieldLength) text_ += byte;
}

void FieldTokenizer::EndField(char terminator) {
  if (fieldNumber_ < std::numeric_limits<int>::max()) ++fieldNumber_;
  inQuotes_ = false;
  const bool endsLine = terminator == '\r' || terminator == '\n';
  if (endsLine && text_ == "WC") fieldNumber_ = kLoneRecordTypeField;
  events_.OnField(fieldNumber_, text_, lineNumber_);
  text_.clear();
  if (terminator == '\n') EndLine();
}

void FieldTokenizer::EndLine() {
  events_.OnLineEnd(lineNumber_);
  ++lineNumber_;
  fieldNumber_ = 0;
  inQuotes_ = false;
  text_.clear();
}

}  // namespace trk::willcall
