// The will-call text tokenizer: which fields, with which numbers, on which lines.
#include "willcall/text_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trk::willcall {
namespace {

class Recorder final : public FieldEvents {
 public:
  void OnField(int fieldNumber, std::string_view text, uint32_t lineNumber) override {
    events.push_back(std::to_string(lineNumber) + "." + std::to_string(fieldNumber) + "=" + std::string(text));
  }
  void OnLineEnd(uint32_t lineNumber) override { events.push_back("end " + std::to_string(lineNumber)); }
  std::vector<std::string> events;
};

std::vector<std::string> Tokenize(std::string_view input) {
  Recorder recorder;
  FieldTokenizer tokenizer(recorder);
  for (const char byte : input) tokenizer.Push(byte);
  tokenizer.Finish();
  return recorder.events;
}

using Events = std::vector<std::string>;

struct Case {
  const char* name;
  std::string input;
  Events expected;
};

TEST(FieldTokenizer, CutsFieldsAndLines) {
  const Case cases[] = {
      {"two lines with CR LF", "\"WC\",\"A1\"\r\n\"WC\",\"B2\"\r\n",
       {"1.1=WC", "1.2=A1", "end 1", "2.1=WC", "2.2=B2", "end 2", "end 3"}},
      {"line feed alone ends a line", "\"WC\",\"A1\"\n", {"1.1=WC", "1.2=A1", "end 1", "end 2"}},
      {"empty fields have empty text", "\"WC\",\"\",\"x\"\r\n", {"1.1=WC", "1.2=", "1.3=x", "end 1", "end 2"}},
      {"two quotes inside quotes are one quote", "\"5\"\" pipe\",\"a\"\"\"\r\n",
       {"1.1=5\" pipe", "1.2=a\"", "end 1", "end 2"}},
      {"a quote before another byte stays in the text", "\"ab\"c\",\"d\"\r\n",
       {"1.1=ab\"c", "1.2=d", "end 1", "end 2"}},
      {"bytes outside quotes are kept", "\"WC\",12\"34\",\"x\"\r\n", {"1.1=WC", "1.2=1234", "1.3=x", "end 1", "end 2"}},
      {"a lone record type at the line end is field 250", "\"WC\"\r\n\"XX\"\r\n",
       {"1.250=WC", "end 1", "2.1=XX", "end 2", "end 3"}},
      {"a line feed inside quotes drops the unfinished field", "\"WC\",\"ab\ncd\",\"e\"\r\n",
       {"1.1=WC", "end 1", "2.1=cd,\"e", "end 2", "end 3"}},
      {"blank lines are counted", "\r\n\r\n\"WC\",\"A\"\r\n", {"end 1", "end 2", "3.1=WC", "3.2=A", "end 3", "end 4"}},
      {"the last line without CR LF keeps its last field", "\"WC\",\"A1\"", {"1.1=WC", "1.2=A1", "end 1"}},
      {"an unterminated quote at the end loses its field", "\"WC\",\"A1", {"1.1=WC", "end 1"}},
      {"empty input", "", {"end 1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tokenize(c.input), c.expected) << c.name;
  }
}

TEST(FieldTokenizer, FieldTextIsCutAtItsLimit) {
  const std::string longText(kMaxFieldLength + 50, 'x');
  const Events events = Tokenize("\"" + longText + "\",\"y\"");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], "1.1=" + std::string(kMaxFieldLength, 'x'));
  EXPECT_EQ(events[1], "1.2=y");
}

}  // namespace
}  // namespace trk::willcall
