// The character-level state machine of the dispatch text reader.
#include "tqload/text_reader.h"

namespace trk::tqload {

DispatchTextReader::DispatchTextReader(FieldConsumer& consumer, bool keepLoneQuote)
    : consumer_(consumer), keepLoneQuote_(keepLoneQuote) {
  text_.reserve(kFieldCapacity + 1);
}

void DispatchTextReader::Feed(std::string_view bytes) {
  for (const char c : bytes) {
    if (pendingCarriageReturn_) {
      pendingCarriageReturn_ = false;
      if (c == '\n') {
        Take('\n');
        continue;
      }
      Take('\r');
    }
    if (c == '\r') {
      pendingCarriageReturn_ = true;
    } else {
      Take(c);
    }
  }
}

void DispatchTextReader::Finish() {
  if (pendingCarriageReturn_) {
    pendingCarriageReturn_ = false;
    Take('\r');
  }
  // The end of the file ends the last line as a line feed would.
  Take('\n');
}

void DispatchTextReader::Take(char c) {
  if (afterQuote_) {
    afterQuote_ = false;
    if (c == ',' || c == '\r' || c == '\n') {
      EndField(c);
    } else if (c == '"') {
      Store('"');
    } else {
      if (keepLoneQuote_) Store('"');
      Store(c);
    }
    return;
  }
  if (c == '\n') {
    ResetLine();
    consumer_.OnLineReset();
  } else if (c == '"') {
    if (inQuotes_) {
      afterQuote_ = true;
    } else {
      inQuotes_ = true;
    }
  } else {
    Store(c);
  }
}

void DispatchTextReader::Store(char c) {
  if (text_.size() < kFieldCapacity) {
    text_.push_back(c);
  } else {
    overflowed_ = true;
  }
}

void DispatchTextReader::EndField(char terminator) {
  ++fieldNumber_;
  inQuotes_ = false;
  const FieldEnd end = terminator == ',' ? FieldEnd::Comma
                       : terminator == '\r' ? FieldEnd::CarriageReturn
                                            : FieldEnd::LineFeed;
  consumer_.OnField(RawField{text_, fieldNumber_, line_, end, overflowed_});
  text_.clear();
  overflowed_ = false;
  if (end == FieldEnd::LineFeed) {
    ResetLine();
    consumer_.OnLineReset();
  }
  if (end != FieldEnd::Comma) ++line_;
}

void DispatchTextReader::ResetLine() {
  fieldNumber_ = 0;
  text_.clear();
  inQuotes_ = false;
  overflowed_ = false;
}

}  // namespace trk::tqload
