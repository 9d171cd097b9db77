// What the walk does with each record type, and the run's frame: the missing
// transaction file, the empty file, the created Config record.
#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

TEST_F(TQReadTest, EventRecordsAreDeletedWithoutText) {
  AddTransactions({Event(0), Event(1), Event(2), Event(5), Event(7), Event(8), Event(9)});
  const RunResult run = Run();
  EXPECT_TRUE(run.outcome.conversionOk);
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_FALSE(FileExists(FileIndex::CompTemp));
  EXPECT_EQ(run.outcome.recordsProcessed, 7u);
}

TEST_F(TQReadTest, OfficeListsEventRecordsAsTextLines) {
  AddTransactions({Event(0), Event(1), Event(2), Event(5), Event(7), Event(8), Event(9)});
  Run(Variant::Office);
  EXPECT_EQ(Output(),
            "Recirculation record.\r\nOut of Gas record.\r\nDOT Information record.\r\n"
            "Cylinder Fill record.\r\nCylinder Exchange record.\r\n");
}

TEST_F(TQReadTest, InvalidRecordTypeIsReportedDeletedAndKeepsTheTotals) {
  AddTransactions({Event(12), Event(2, "09:30:00")});
  AddTotals({Totals("DSL", "01/15/25")});
  const RunResult run = Run();
  EXPECT_TRUE(run.Logged("Record #1 is an invalid record type: 12"));
  EXPECT_FALSE(run.outcome.conversionOk);
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_EQ(RecordCount(FileIndex::Totals), 1u);
  EXPECT_EQ(OutputLines().size(), 1u);  // the totalizer line
}

TEST_F(TQReadTest, MissingTransactionFileStopsBeforeTheOutput) {
  const RunResult run = Run();
  EXPECT_TRUE(run.Logged("CompTran.trn was not found in this folder."));
  EXPECT_TRUE(run.outcome.errorSeen);
  EXPECT_TRUE(run.Logged("TRK TQRead file generation complete."));
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
}

TEST_F(TQReadTest, EmptyTransactionFileCreatesTheOutputAndKeepsUnwrittenTotals) {
  schema::Catalogue(Folder()).CreateCatalogueFile(FileIndex::CompTran);
  AddTotals({Totals("DSL", "01/15/25")});
  const RunResult run = Run();
  EXPECT_TRUE(run.outcome.conversionOk);
  EXPECT_TRUE(std::filesystem::exists(OutputPath()));
  EXPECT_EQ(Output(), "");
  // No totalizer line was written, so the totals wait for a run that writes them.
  EXPECT_EQ(RecordCount(FileIndex::Totals), 1u);
  EXPECT_FALSE(FileExists(FileIndex::CompTemp));
}

TEST_F(TQReadTest, MissingConfigIsCreatedWithTheDefaultRecord) {
  AddTransactions({Event(2)});
  WriteConfiguration();
  schema::Catalogue(Folder()).DeleteCatalogueFile(FileIndex::Config);
  RunHooks hooks;
  std::vector<std::string> messages;
  hooks.sink = [&messages](const std::string& message) { messages.push_back(message); };
  TQReadOptions options{};
  options.trigger = TQREAD_TRIGGER_STARTUP;
  const TQReadOutcome outcome = ConversionRun(options, std::move(hooks)).Run();
  EXPECT_TRUE(outcome.conversionOk);
  EXPECT_EQ(messages.front(), "Conversion request during application startup...");
  EXPECT_NE(std::find(messages.begin(), messages.end(),
                      "Config.zdb was not found, so a file with a default record in it was created."),
            messages.end());
  schema::Catalogue catalogue(Folder());
  ASSERT_EQ(catalogue.OpenCatalogueFile(FileIndex::Config), OKV_SUCCESS);
  schema::ConfigRecord stored{};
  ASSERT_EQ(OKVReadRec(catalogue.Handle(FileIndex::Config), &stored), OKV_SUCCESS);
  const schema::ConfigRecord expected = schema::DefaultConfigRecord();
  EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0);
}

// Stand-alone: one step per group; office: one per record. (0, 0) hides the bar.
TEST_F(TQReadTest, ProgressAdvancesPerGroupOrPerRecord) {
  for (const Variant variant : {Variant::Standalone, Variant::Office}) {
    AddTransactions({Event(2), Event(5), Event(7), Tank("A100", "S1"), Summary("A100", "S1")});
    WriteConfiguration();
    std::vector<std::pair<uint32_t, uint32_t>> steps;
    RunHooks hooks;
    hooks.progress = [&steps](uint32_t position, uint32_t range) { steps.emplace_back(position, range); };
    TQReadOptions options{};
    options.variant = static_cast<uint8_t>(variant);
    ConversionRun(options, std::move(hooks)).Run();
    const std::vector<std::pair<uint32_t, uint32_t>> expected =
        variant == Variant::Standalone
            ? std::vector<std::pair<uint32_t, uint32_t>>{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {0, 0}}
            : std::vector<std::pair<uint32_t, uint32_t>>{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {5, 5}, {0, 0}};
    EXPECT_EQ(steps, expected);
  }
}

}  // namespace
}  // namespace trk::tqread::testing
