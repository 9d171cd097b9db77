// The dispatch text reader on its own: quoting, line ends, line numbers and the
// field buffer's limit.
#include "tqload/text_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trk::tqload {
namespace {

struct Seen {
  uint32_t line;
  uint32_t number;
  std::string text;
  bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
  return out << "{line " << seen.line << ", field " << seen.number << ", \"" << seen.text << "\"}";
}

class Recorder : public FieldConsumer {
 public:
  void OnField(const RawField& field) override {
    fields.push_back({field.line, field.number, std::string(field.text)});
    if (field.overflowed) ++overflows;
  }
  void OnLineReset() override { ++resets; }

  std::vector<Seen> fields;
  int overflows = 0;
  int resets = 0;
};

std::vector<Seen> Read(std::string_view text, bool keepLoneQuote = false, size_t slice = 0) {
  Recorder recorder;
  DispatchTextReader reader(recorder, keepLoneQuote);
  if (slice == 0) slice = text.size() + 1;
  for (size_t at = 0; at < text.size(); at += slice) reader.Feed(text.substr(at, slice));
  reader.Finish();
  return recorder.fields;
}

struct ReaderCase {
  const char* name;
  std::string text;
  std::vector<Seen> fields;
};

TEST(DispatchTextReader, SplitsQuotedFields) {
  const ReaderCase cases[] = {
      {"CR LF", "\"1\",\"a\"\r\n\"2\",\"b\"\r\n", {{1, 1, "1"}, {1, 2, "a"}, {2, 1, "2"}, {2, 2, "b"}}},
      {"LF alone", "\"1\",\"a\"\n\"2\",\"b\"\n", {{1, 1, "1"}, {1, 2, "a"}, {2, 1, "2"}, {2, 2, "b"}}},
      {"doubled quotes", "\"He said \"\"yes\"\"\"\n", {{1, 1, "He said \"yes\""}}},
      {"unquoted comma joins the next field", "\"1\",\"2\",3,4\"x\"\n", {{1, 1, "1"}, {1, 2, "2"}, {1, 3, "3,4x"}}},
      {"space before a quote", "\"1\", \"a\"\n", {{1, 1, "1"}, {1, 2, " a"}}},
      {"empty quoted field", "\"\"\n", {{1, 1, ""}}},
      {"lone quote dropped", "\"ab\"c\"\n", {{1, 1, "abc"}}},
      {"last line without a line end", "\"1\",\"a\"\n\"2\",\"b\"", {{1, 1, "1"}, {1, 2, "a"}, {2, 1, "2"}, {2, 2, "b"}}},
      {"unterminated quote lost at the line end", "\"1\",\"ab\n\"2\"\n", {{1, 1, "1"}, {1, 1, "2"}}},
      {"lone CR ends a field, not the line", "\"1\"\r\"a\"\n", {{1, 1, "1"}, {2, 2, "a"}}},
      {"empty lines count no line", "\n\n\"1\"\n\n\"2\"\n", {{1, 1, "1"}, {2, 1, "2"}}},
  };
  for (const ReaderCase& c : cases) {
    EXPECT_EQ(Read(c.text), c.fields) << c.name;
    EXPECT_EQ(Read(c.text, false, 1), c.fields) << c.name << " fed one byte at a time";
  }
}

TEST(DispatchTextReader, OfficeKeepsALoneQuoteWithItsCharacter) {
  EXPECT_EQ(Read("\"ab\"c\"\n", true), (std::vector<Seen>{{1, 1, "ab\"c"}}));
  EXPECT_EQ(Read("\"a\"\"b\"\n", true), (std::vector<Seen>{{1, 1, "a\"b"}}));
}

TEST(DispatchTextReader, LongFieldIsCutAtTheBufferAndFlagged) {
  Recorder recorder;
  DispatchTextReader reader(recorder, false);
  reader.Feed("\"" + std::string(300, 'x') + "\",\"" + std::string(275, 'y') + "\"\n");
  reader.Finish();
  ASSERT_EQ(recorder.fields.size(), 2u);
  EXPECT_EQ(recorder.fields[0].text, std::string(275, 'x'));
  EXPECT_EQ(recorder.fields[1].text, std::string(275, 'y'));
  EXPECT_EQ(recorder.overflows, 1);
}

TEST(DispatchTextReader, FieldNumbersNeverWrap) {
  std::string line;
  for (int i = 0; i < 300; ++i) line += "\"f\",";
  line += "\"last\"\n";
  const std::vector<Seen> fields = Read(line);
  ASSERT_EQ(fields.size(), 301u);
  EXPECT_EQ(fields.back().number, 301u);
}

}  // namespace
}  // namespace trk::tqload
