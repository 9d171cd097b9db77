// The will-call text conversion: fields into records, what a faulty line logs,
// and the records as they land in the engine.
#include "willcall/text_conversion.h"

#include <cstring>
#include <string>
#include <vector>

#include "willcall/tests/fixture.h"

namespace trk::willcall {
namespace {

using schema::SetText;
using schema::TextOf;
using schema::WillCallRecord;
using testing::FakeClock;
using testing::WillCallLine;

class ConversionTest : public testing::WillCallTest {
 protected:
  // Runs the conversion over `text`, collecting the records in memory.
  void Convert(std::string_view text, uint8_t writeResult = OKV_SUCCESS) {
    reporter.SetAutomaticMode(true);
    TextConversion conversion(reporter, clock, [&](const WillCallRecord& record) {
      if (writeResult == OKV_SUCCESS) records.push_back(record);
      return writeResult;
    });
    conversion.Push(text);
    conversion.Finish();
  }

  Reporter reporter{screen, clock};
  std::vector<WillCallRecord> records;
};

TEST_F(ConversionTest, EveryFieldLandsInItsPlace) {
  std::map<int, std::string> fields;
  for (int i = 2; i <= 19; ++i) fields[i] = "F" + std::to_string(i);
  Convert(WillCallLine(fields));
  ASSERT_EQ(records.size(), 1u);

  WillCallRecord expected{};
  SetText(expected.entryTimestamp, FakeClock::TimestampAt(0));
  SetText(expected.accessNumber, "F2");
  SetText(expected.productDescription, "F3");
  SetText(expected.customerName, "F4");
  SetText(expected.deliverToAddress, "F5");
  SetText(expected.mailToAddress1, "F6");
  SetText(expected.mailToAddress2, "F7");
  SetText(expected.mailToCity, "F8");
  SetText(expected.mailToProvinceState, "F9");
  SetText(expected.mailToZipCode, "F10");
  SetText(expected.cellPhone, "F11");
  SetText(expected.homePhone, "F12");
  SetText(expected.workPhone, "F13");
  SetText(expected.tankCapacity, "F14");
  SetText(expected.tankLocation, "F15");
  SetText(expected.instruction1, "F16");
  SetText(expected.instruction2, "F17");
  SetText(expected.instruction3, "F18");
  SetText(expected.instruction4, "F19");
  EXPECT_EQ(std::memcmp(&records[0], &expected, sizeof expected), 0);
  EXPECT_TRUE(screen.log.empty());
  EXPECT_TRUE(reporter.automaticMode());
}

TEST_F(ConversionTest, EmptyOptionalFieldsLeaveZeros) {
  Convert(WillCallLine({{2, "A100"}}));
  ASSERT_EQ(records.size(), 1u);
  WillCallRecord expected{};
  SetText(expected.entryTimestamp, FakeClock::TimestampAt(0));
  SetText(expected.accessNumber, "A100");
  EXPECT_EQ(std::memcmp(&records[0], &expected, sizeof expected), 0);
}

// What each kind of faulty line writes and logs, and whether it counts as a
// failure (which keeps the window of an automatic run open).
TEST_F(ConversionTest, FaultyLines) {
  const std::string name35(35, 'n');
  struct Case {
    const char* name;
    std::string text;
    size_t records;
    std::vector<std::string> log;
    bool failure;
  };
  const Case cases[] = {
      {"18 fields", WillCallLine({{2, "A1"}}, 18), 0,
       {"Line 1 has too few fields; no will call record was written."}, true},
      {"20 fields", WillCallLine({{2, "A1"}}, 20), 1, {"There were too many fields in the will call record."}, false},
      {"13-character access number", WillCallLine({{2, "1234567890123"}}), 0,
       {"Problem with the access number field. rc = 101.", "Field contents: 1234567890123, line 1, field 2, rc = 101."},
       true},
      {"empty access number", WillCallLine({{2, "   "}, {4, "Name"}}), 0,
       {"The access number field should not be empty.", "Field contents:    , line 1, field 2, rc = 102."}, true},
      {"a field ends at a NUL byte, as it would be stored", WillCallLine({{2, std::string("\0\0A1", 4)}, {4, "Name"}}), 0,
       {"The access number field should not be empty.", "Field contents: , line 1, field 2, rc = 102."}, true},
      {"trailing spaces go before the length check", WillCallLine({{2, "A1  "}, {4, name35 + "   "}}), 1, {}, false},
      {"too long name", WillCallLine({{2, "A1"}, {4, name35 + "n"}}), 1,
       {"Problem with the name field. rc = 101.", "Field contents: " + name35 + "n, line 1, field 4, rc = 101."}, true},
      {"too long fourth instruction", WillCallLine({{2, "A1"}, {19, name35 + "i"}}), 1,
       {"Problem with the fourth instructions line field. rc = 101.",
        "Field contents: " + name35 + "i, line 1, field 19, rc = 101."},
       true},
      {"no record type", WillCallLine({{1, ""}, {2, "A1"}}), 1, {"Line 1 does not have a record type."}, true},
      {"another record type", WillCallLine({{1, "XX"}, {2, "A1"}}), 1,
       {"Line 1 has a problem with the record type XX."}, true},
      {"unterminated last field", WillCallLine({{2, "A1"}}).substr(0, WillCallLine({{2, "A1"}}).size() - 3), 0,
       {"Line 1 has too few fields; no will call record was written."}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    records.clear();
    screen.log.clear();
    Convert(c.text);
    EXPECT_EQ(records.size(), c.records);
    EXPECT_EQ(screen.log, c.log);
    EXPECT_EQ(reporter.automaticMode(), !c.failure);
  }
}

TEST_F(ConversionTest, LastLineWithoutLineEndIsWritten) {
  std::string text = WillCallLine({{2, "A1"}}) + WillCallLine({{2, "A2"}});
  text.resize(text.size() - 2);  // no CR LF after the last closing quote
  Convert(text);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(TextOf(records[1].accessNumber), "A2");
}

TEST_F(ConversionTest, FaultsNameTheLineTheyAreOn) {
  Convert(WillCallLine({{2, "A1"}}) + WillCallLine({{2, "A2"}, {19, std::string(36, 'x')}}));
  EXPECT_TRUE(screen.LogHas("Field contents: " + std::string(36, 'x') + ", line 2, field 19, rc = 101."));
}

TEST_F(ConversionTest, FailedWriteIsReportedWithTheEngineLine) {
  Convert(WillCallLine({{2, "A1"}}), OKV_WRITE_ERROR);
  EXPECT_EQ(screen.log, (std::vector<std::string>{"OKVCreateRec Error 6 on WillCall.zdb: Write error on file.",
                                                  "Field contents: , line 1, field 19, rc = 6."}));
  EXPECT_FALSE(reporter.automaticMode());
}

// Into a real master: a second line for the same access number in the same
// second waits for the next second, and key 1 lists both oldest first.
TEST_F(ConversionTest, SameAccessNumberTwiceIsWrittenASecondApart) {
  WriteSource(WillCallLine({{2, "A1"}, {3, "first"}}) + WillCallLine({{2, "B7"}}));
  const std::string master = temp.Folder() + "master/";
  std::filesystem::create_directories(master);
  schema::Catalogue catalogue(master);
  ASSERT_EQ(catalogue.OpenOrCreateCatalogueFile(schema::FileIndex::WillCall), OKV_SUCCESS);
  EXPECT_EQ(ConvertTextFile(SourcePath(), reporter, clock, screen,
                            [&](const WillCallRecord& record) {
                              return catalogue.AddCatalogueRecord(schema::FileIndex::WillCall, &record);
                            }),
            2u);
  ASSERT_EQ(catalogue.CloseCatalogueFile(schema::FileIndex::WillCall), OKV_SUCCESS);
  EXPECT_EQ(clock.waits(), 0) << "different access numbers share a second";

  WriteSource(WillCallLine({{2, "A1"}, {3, "third"}}));
  ASSERT_EQ(catalogue.OpenCatalogueFile(schema::FileIndex::WillCall), OKV_SUCCESS);
  ConvertTextFile(SourcePath(), reporter, clock, screen, [&](const WillCallRecord& record) {
    return catalogue.AddCatalogueRecord(schema::FileIndex::WillCall, &record);
  });
  ASSERT_EQ(catalogue.CloseCatalogueFile(schema::FileIndex::WillCall), OKV_SUCCESS);
  EXPECT_EQ(clock.waits(), 1);

  const WillCallRecord first = testing::ReadRecordOf(master, "A1", 0);
  const WillCallRecord second = testing::ReadRecordOf(master, "A1", 1);
  EXPECT_EQ(TextOf(first.productDescription), "first");
  EXPECT_EQ(TextOf(second.productDescription), "third");
  EXPECT_EQ(TextOf(second.entryTimestamp), FakeClock::TimestampAt(1));
  EXPECT_EQ(testing::AllRecords(master).size(), 3u);
}

TEST_F(ConversionTest, MissingSourceFileIsAFailure) {
  reporter.SetAutomaticMode(true);
  const std::string missing = temp.Folder() + "none.txt";
  ConvertTextFile(missing, reporter, clock, screen, [](const WillCallRecord&) { return uint8_t{0}; });
  EXPECT_EQ(screen.log, (std::vector<std::string>{"Source text file: " + missing,
                                                  "Could not open " + missing + ". File conversion aborted"}));
  EXPECT_FALSE(reporter.automaticMode());
  EXPECT_TRUE(screen.progress.empty());
}

TEST_F(ConversionTest, ProgressFollowsTheFile) {
  const std::string text = WillCallLine({{2, "A1"}});
  WriteSource(text);
  ConvertTextFile(SourcePath(), reporter, clock, screen, [](const WillCallRecord&) { return uint8_t{0}; });
  EXPECT_EQ(screen.progress, (std::vector<std::string>{"show " + std::to_string(text.size()), "hide"}));
  EXPECT_EQ(screen.steps, text.size());

  struct Case {
    uint64_t length;
    uint32_t maximum;
    uint64_t bytesPerStep;
  };
  for (const Case& c : {Case{0, 0, 1}, Case{32767, 32767, 1}, Case{32768, 32767, 1}, Case{100000, 32767, 3},
                        Case{1ull << 40, 32767, (1ull << 40) / 32767}}) {
    const ProgressPlan plan = PlanProgress(c.length);
    EXPECT_EQ(plan.maximum, c.maximum) << c.length;
    EXPECT_EQ(plan.bytesPerStep, c.bytesPerStep) << c.length;
  }
}

}  // namespace
}  // namespace trk::willcall
