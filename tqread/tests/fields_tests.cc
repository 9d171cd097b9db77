// The field forms of the delivery text file and the message formatter.
#include <gtest/gtest.h>

#include <string>

#include "tqread/fields.h"
#include "tqread/messages.h"

namespace trk::tqread {
namespace {

TEST(VolumeText, FollowsTheResolutionCode) {
  struct Case {
    int64_t volume;
    uint8_t code;
    const char* text;
  };
  const Case cases[] = {
      {1234, 1, "123.4"},
      {5, 0, "0.05"},
      {12, 2, "12"},
      {-15, 1, "-1.5"},                        // a negative count keeps its sign
      {5000000000LL, 0, "50000000.00"},        // sums beyond 32 bits are not wrapped
      {-4294967296LL * 3 - 7, 1, "-1288490189.5"},
      {100, 3, ""},                            // no code beyond 2
  };
  for (const Case& c : cases) EXPECT_EQ(VolumeText(c.volume, c.code), c.text) << c.volume << " " << int(c.code);
}

TEST(LeadingInteger, ScansLikeLongConversion) {
  struct Case {
    const char* text;
    int64_t value;
  };
  const Case cases[] = {{"1001", 1001}, {"  42x", 42}, {"-7", -7}, {"+8", 8}, {"abc", 0}, {"", 0}, {"-", 0},
                        {"99999999999999999999999", 9223372036854775807}};
  for (const Case& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << c.text;
}

TEST(LineBuilder, QuotesFieldsWithoutEscapingAndEndsLinesWithCrLf) {
  std::string text = "earlier\r\n";
  LineBuilder line(text);
  line.Text("a,\"b");
  line.FixedOrZero(0, 2);
  line.FixedOrZero(-0.0, 2);
  line.Fixed(0, 2);
  line.FixedOrZero(2.5, 4);
  line.Volume(0, 1);
  line.Volume(7, 0);
  line.NumberFromText("12ab");
  line.Padded("ab", 4);
  line.Padded("abcdef", 4);
  line.CutTo8("0123456789");
  line.EndLine();
  line.Zero();
  line.EndLine();
  EXPECT_EQ(text,
            "earlier\r\n\"a,\"b\",\"0\",\"0\",\"0.00\",\"2.5000\",\"0\",\"0.07\",\"12\",\"ab  \",\"abcdef\","
            "\"01234567\"\r\n\"0\"\r\n");
}

TEST(LineBuilder, NeverCutsALongNumber) {
  std::string text;
  LineBuilder(text).Fixed(1e300, 2);
  EXPECT_EQ(text.size(), 2 + 301 + 3u);
}

TEST(FormatMessage, TakesTextsAndNumbersFromTheirOwnQueues) {
  EXPECT_EQ(FormatMessage("Could not read %s record for miscellaneous charge. rc=%u TaxCode=%s",
                          {"TaxCode.zdb", "TC9", 10}),
            "Could not read TaxCode.zdb record for miscellaneous charge. rc=10 TaxCode=TC9");
  EXPECT_EQ(FormatMessage("Record #%ld is an invalid record type: %u", {int64_t{7}, 12}),
            "Record #7 is an invalid record type: 12");
  EXPECT_EQ(FormatMessage("type %x, %d%%", {255, -3}), "type ff, -3%");
  EXPECT_EQ(FormatMessage("missing %s and %u, odd %q, end %", {}), "missing  and , odd %q, end %");
}

TEST(MessageFormat, StandAloneAndOfficeWordingsDiffer) {
  EXPECT_EQ(MessageFormat(Variant::Standalone, Msg::CompTranOpenFailed), kStandardErrorLine);
  EXPECT_STREQ(MessageFormat(Variant::Office, Msg::CompTranOpenFailed), "Could not open %s. rc=%u");
  EXPECT_EQ(MessageFormat(Variant::Office, Msg::BufferTrace), nullptr);
  EXPECT_EQ(MessageFormat(Variant::Standalone, Msg::Count), nullptr);
}

}  // namespace
}  // namespace trk::tqread
