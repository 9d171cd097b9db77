// Record types and field counts at the line level, totalizer lines, and
// miscellaneous transaction lines, in both variants' wordings.
#include "tqload/tests/conversion_fixture.h"

namespace trk::tqload::testing {
namespace {

using schema::MiscTranRecord;
using schema::SystemDefinitionsRecord;

class LineTest : public ConversionTest {};

TEST_F(LineTest, RecordTypesAndFieldCounts) {
  struct Case {
    std::string text;
    std::vector<std::string> logged;
    bool failed;
  } cases[] = {
      {"\"\"\n", {"Line 1 does not have a record type."}, true},
      {Line({"49", "0", "0", "x"}), {"Line 1 has a problem with the record type 49, rc = 101."}, true},
      {Line({"0", "0", "0", "x"}), {"Line 1 has a problem with the record type 0, rc = 101."}, true},
      {Line({"A", "0", "0", "x"}), {"Line 1 has a problem with the record type A, rc = 100."}, true},
      {Line({"14", "0", "0", "a", "b"}),
       {"Unrecognized record type: 14 on line: 1.", "Unrecognized record type: 14 on line: 1."}, true},
      {Line({"15", "0", "0", "a"}) + Line({"18", "0", "0", "b"}), {}, false},
      {Line({"9", "36", "22"}),
       {"Line 1 has a problem with the quantity of numeric fields 36, rc = 101.",
        "Line 1 has a problem with the quantity of alpha-numeric fields 22, rc = 101"},
       true},
      {Line({"9", "", ""}), {"Line 1 quantity of numeric fields is empty.", "Line 1 quantity of alpha-numeric fields is empty."}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.text), c.failed ? TQLOAD_FAILED : TQLOAD_OK) << c.text << AllMessages();
    std::vector<std::string> lineMessages;
    for (const std::string& m : messages) {
      if (m.rfind("Line ", 0) == 0 || m.rfind("Unrecognized", 0) == 0) lineMessages.push_back(m);
    }
    EXPECT_EQ(lineMessages, c.logged) << c.text;
  }
}

TEST_F(LineTest, CompletedDeliveryRecordIsReportedForEachField) {
  EXPECT_EQ(Run(Line({"7", "0", "0", "4", "5", "6", "7", "8", "9", "10"})), TQLOAD_FAILED);
  EXPECT_EQ(CountLogged("Line 1 is a completed delivery record, not a dispatch or setup record."), 7u);
}

TEST_F(LineTest, LinesEndedByLineFeedAloneOrMissingAtTheEndConvertAlike) {
  std::string text = Line(StandardFields("A1")) + Line(StandardFields("A2"));
  std::string lineFeeds;
  for (const char c : text) {
    if (c != '\r') lineFeeds += c;
  }
  lineFeeds.pop_back();  // the last line has no line end at all
  ASSERT_EQ(Run(lineFeeds), TQLOAD_OK) << AllMessages();
  EXPECT_EQ(ReadAll<schema::CustomerRecord>(FileIndex::Customer).size(), 2u);
  EXPECT_EQ(ReadAll<schema::DispatchRecord>(FileIndex::Dispatch).size(), 2u);
}

TEST_F(LineTest, TotalizerLineStoresTheRamCardId) {
  SystemDefinitionsRecord existing{};
  schema::SetText(existing.baseName, "Northside Fuels");
  AddRecord(FileIndex::SysDefs, &existing);
  std::vector<std::string> line = {"1", "10", "10", "unused", "RAM-000042"};
  line.resize(38, "0");
  Run(Line(line));
  auto stored = ReadSingle<SystemDefinitionsRecord>(FileIndex::SysDefs);
  ASSERT_TRUE(stored) << AllMessages();
  EXPECT_EQ(TextOf(stored->ramCardId), "RAM-000042");
  EXPECT_EQ(TextOf(stored->baseName), "Northside Fuels");
  EXPECT_FALSE(Logged("The totalizer record had too many fields."));

  line[4] = "RAM-0000421";  // eleven characters
  Run(Line(line));
  EXPECT_TRUE(Logged("There was a problem with the ram card ID field.")) << AllMessages();
  EXPECT_EQ(TextOf(ReadSingle<SystemDefinitionsRecord>(FileIndex::SysDefs)->ramCardId), "RAM-000042");
  Run(Line(line), TQLOAD_VARIANT_OFFICE);
  EXPECT_TRUE(Logged("There was a problem with the ram card ID field. rc = 101")) << AllMessages();
}

TEST_F(LineTest, TotalizerFieldCountFollowsFeatureAndComplianceFlag) {
  struct Case {
    uint8_t feature;
    uint8_t compliance;
    size_t fields;
    std::vector<int> reported;
  } cases[] = {{0, 0, 38, {}}, {0, 0, 40, {39, 40}}, {0, 1, 39, {}}, {0, 1, 41, {40}}, {2, 0, 42, {}}, {2, 1, 44, {43}}};
  for (const Case& c : cases) {
    schema::ConfigRecord config = schema::DefaultConfigRecord();
    config.customFeature = c.feature;
    config.complianceCharge = c.compliance;
    SetConfig(config);
    std::vector<std::string> line = {"1", "10", "10", "x", "RAM1"};
    line.resize(c.fields, "0");
    Run(Line(line));
    std::vector<int> reported;
    for (int field = 4; field <= 250; ++field) {
      if (Logged("Field contents: 0, line 1, field " + std::to_string(field) + ", rc = 103.")) reported.push_back(field);
    }
    EXPECT_EQ(reported, c.reported) << int(c.feature) << "/" << int(c.compliance) << " with " << c.fields;
  }
}

TEST_F(LineTest, MiscellaneousTransactionLines) {
  const auto line = [](const char* code, const char* charge, const char* price) {
    return Line({"20", "12", "1", code, charge, price, "1", "0.1", "2", "0.2", "3", "4", "0.3", "5", "0.4"});
  };
  ASSERT_EQ(Run(line("DEL", "25.00", "0.05")), TQLOAD_OK) << AllMessages();
  EXPECT_TRUE(Logged("A record was created in MiscTran.zdb for miscellaneous transaction code DEL using a default "
                     "name.\nIt should be edited before use in the TRK."))
      << AllMessages();
  auto record = Find<MiscTranRecord>(FileIndex::MiscTran, "DEL", 1);
  ASSERT_TRUE(record);
  EXPECT_EQ(TextOf(record->name), "MiscTran code DEL");
  EXPECT_EQ(Copy(record->charge), 25.0);
  EXPECT_EQ(Copy(record->unitPrice), 0.05);
  EXPECT_EQ(TextOf(record->taxCode), "100");

  // An existing code keeps its name; an empty price stores nothing, a bad one -99.9999.
  MiscTranRecord renamed = *record;
  schema::SetText(renamed.name, "Delivery fee");
  {
    schema::Catalogue catalogue(folder);
    ASSERT_EQ(catalogue.OpenCatalogueFile(FileIndex::MiscTran), OKV_SUCCESS);
    MiscTranRecord current{};
    ASSERT_EQ(OKVReadRecEQ(catalogue.Handle(FileIndex::MiscTran), 1, renamed.code, &current), OKV_SUCCESS);
    ASSERT_EQ(OKVUpdateRec(catalogue.Handle(FileIndex::MiscTran), &renamed), OKV_SUCCESS);
  }
  Run(line("DEL", "30", ""), TQLOAD_VARIANT_OFFICE);
  EXPECT_TRUE(Logged("The miscellaneous unit price field should not be empty."));
  record = Find<MiscTranRecord>(FileIndex::MiscTran, "DEL", 1);
  ASSERT_TRUE(record);
  EXPECT_EQ(TextOf(record->name), "Delivery fee");
  EXPECT_EQ(Copy(record->charge), 30.0);
  EXPECT_EQ(Copy(record->unitPrice), 0.05);
  Run(line("DEL", "30", "abc"));
  EXPECT_EQ(Copy(Find<MiscTranRecord>(FileIndex::MiscTran, "DEL", 1)->unitPrice), -99.9999);

  Run(line("NEWCODE", "1", "1"), TQLOAD_VARIANT_OFFICE);
  EXPECT_TRUE(Logged("A record was created in MiscTran.zdb for miscellaneous transaction code NEWCODE using a default name."));
  EXPECT_TRUE(Logged("It should be edited before use in the TRK."));
  Run(line("TOOLONGCODE", "1", "1"), TQLOAD_VARIANT_OFFICE);
  EXPECT_TRUE(Logged("There is a problem with the miscellaneous transaction code. rc = 101"));
}

// The same faults worded by each variant.
TEST_F(LineTest, VariantsWordTheirMessagesApart) {
  std::vector<std::string> fields = StandardFields();
  fields[19] = "abc";  // miscellaneous charge
  fields[16] = "x";    // ninth tax, a per-unit tax
  struct Case {
    TQLoadVariant variant;
    std::vector<std::string> expected;
  } cases[] = {
      {TQLOAD_VARIANT_CONSOLE,
       {"There was a problem with the miscellaneous charge field. rc = 100",
        "There was a problem with a per-unit or surcharge tax field. rc = 100", "Source file was passed via the command line."}},
      {TQLOAD_VARIANT_OFFICE,
       {"There is a problem with the miscellaneous charge field. rc = 100",
        "There is a problem with a per-unit or surcharge tax field. rc = 100",
        "A record was created in Product.zdb for product code DSL using default values."}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder + "Product.zdb");
    Run(Line(fields), c.variant);
    for (const std::string& message : c.expected) EXPECT_TRUE(Logged(message)) << message << "\n" << AllMessages();
  }
}

}  // namespace
}  // namespace trk::tqload::testing
