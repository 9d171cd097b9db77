// "CompTran.trn" as a queue: parking unfinished sales in "CompTemp.trn" and
// returning them, the office's way without parking, append mode and the choice
// of the destination.
#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

TEST_F(TQReadTest, SaleWhoseSummaryCameLaterIsConvertedWholeInTheNextRun) {
  AddTransactions({Tank("B200", "S2", "07:00:00"), Summary("B200", "S2", "07:10:00"), Tank("A100", "S1", "08:00:00"),
                   Tank("A100", "S1", "08:05:00")});
  RunResult run = Run();
  EXPECT_TRUE(run.outcome.errorSeen);
  EXPECT_TRUE(run.Logged("CompTran.trn delivery summary record was missing."));
  ASSERT_EQ(OutputLines().size(), 1u);
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  const std::vector<CompletedTransaction> parked = Records(FileIndex::CompTemp);
  ASSERT_EQ(parked.size(), 2u);
  EXPECT_EQ(schema::TextOf(parked[0].head.transTime), "08:00:00");

  // The truck sends the rest of the sale, and the next sale, the same day.
  AddTransactions({Summary("A100", "S1"), Payment("A100", "S1"), Tank("C300", "S3", "09:00:00"),
                   Summary("C300", "S3", "09:10:00")});
  run = Run();
  EXPECT_TRUE(run.Logged("Comptemp file present."));
  EXPECT_TRUE(run.Logged("Copying over record type 3 from CompTemp to CompTran file."));
  EXPECT_TRUE(run.Logged("Deleted the CompTemp file."));
  EXPECT_FALSE(run.outcome.errorSeen);
  // The returned sale follows the records that arrived meanwhile.
  const std::vector<std::string> lines = OutputLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with(R"("7","B200",)"));
  EXPECT_TRUE(lines[1].starts_with(R"("7","C300",)"));
  EXPECT_TRUE(lines[2].starts_with(R"("7","A100",)"));
  EXPECT_NE(lines[2].find(R"("300.00","5.00","150.00","2","150.00")"), std::string::npos) << lines[2];
  EXPECT_TRUE(lines[3].starts_with(R"("7","A100",)"));
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_FALSE(FileExists(FileIndex::CompTemp));
}

TEST_F(TQReadTest, ConvertingARecordNeverDeletesAnotherOfTheSameDateAndTime) {
  const CompletedTransaction waiting = Tank("A100", "S1", "08:00:00");
  AddTransactions({waiting, Payment("B200", "S2", "08:00:00")});
  Run();
  EXPECT_EQ(OutputLines().size(), 1u);
  const std::vector<CompletedTransaction> parked = Records(FileIndex::CompTemp);
  ASSERT_EQ(parked.size(), 1u);
  EXPECT_EQ(std::memcmp(parked[0].bytes, waiting.bytes, sizeof waiting.bytes), 0);
}

TEST_F(TQReadTest, OfficeLeavesUnconvertedRecordsInTheTransactionFile) {
  AddTransactions({Tank("A100", "S1"), Tank("B200", "S2"), Summary("B200", "S2")});
  AddTotals({Totals("DSL", "01/15/25")});
  const RunResult run = Run(Variant::Office);
  EXPECT_TRUE(run.Logged("Output file: " + OutputPath()));
  EXPECT_EQ(OutputLines().size(), 2u);  // the totalizer line and B200's delivery
  const std::vector<CompletedTransaction> left = Records(FileIndex::CompTran);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(schema::TextOf(left[0].tank.accessNumber), "A100");
  EXPECT_FALSE(FileExists(FileIndex::CompTemp));
  EXPECT_FALSE(FileExists(FileIndex::Totals));  // its line is written
}

TEST_F(TQReadTest, CleanOfficeRunDeletesBothTruckFiles) {
  AddTransactions({Tank("A100", "S1"), Summary("A100", "S1")});
  AddTotals({Totals("DSL", "01/15/25")});
  const RunResult run = Run(Variant::Office);
  EXPECT_TRUE(run.outcome.conversionOk);
  EXPECT_EQ(run.outcome.recordsAtStart, 2u);
  EXPECT_FALSE(FileExists(FileIndex::CompTran));
  EXPECT_FALSE(FileExists(FileIndex::Totals));
}

TEST_F(TQReadTest, OfficeKeepsTheFilesItHadOpen) {
  AddTransactions({Tank("A100", "S1"), Summary("A100", "S1")});
  AddCustomer("A100");
  WriteConfiguration();
  schema::Catalogue office(Folder());
  ASSERT_EQ(office.OpenCatalogueFile(FileIndex::Customer), OKV_SUCCESS);
  TQReadOptions options{};
  options.variant = TQREAD_VARIANT_OFFICE;
  options.sharedCatalogue = &office;
  TQReadOutcome outcome{};
  EXPECT_EQ(TQReadRun(&options, nullptr, nullptr, nullptr, &outcome), TQREAD_OK);
  EXPECT_NE(office.Handle(FileIndex::Customer), 0);
  EXPECT_EQ(office.Handle(FileIndex::CompTran), 0);
  EXPECT_EQ(office.Handle(FileIndex::Config), 0);
  EXPECT_TRUE(OutputLines().at(0).starts_with(R"("6","A100")"));
}

TEST_F(TQReadTest, AppendModeKeepsEarlierContent) {
  for (const uint8_t append : {1, 0}) {
    {
      std::ofstream(OutputPath(), std::ios::binary) << "earlier\r\n";
    }
    office.appendDeliveryFile = append;
    AddTransactions({Payment("A100", "S1")});
    Run();
    const std::string payment = R"("8","A100","","1001","2002","0","0","0","0","0","150.00","2","0","01/15/25","08:11:00")";
    EXPECT_EQ(Output(), (append ? "earlier\r\n" : "") + payment + "\r\n") << int(append);
  }
}

TEST_F(TQReadTest, DestinationComesFromTheCallerThenTheOfficeConfiguration) {
  const std::string configured = Folder() + "configured.txt";
  schema::SetText(office.deliveryDestination, configured);
  AddTransactions({Payment("A100", "S1")});
  Run();
  EXPECT_TRUE(std::filesystem::exists(configured));
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));

  AddTransactions({Payment("A100", "S1")});
  WriteConfiguration();
  const std::string given = Folder() + "given.txt";
  TQReadOptions options{};
  options.destinationFile = given.c_str();
  std::vector<std::string> messages;
  EXPECT_EQ(TQReadRun(&options, [](void* context, const char* message) {
              static_cast<std::vector<std::string>*>(context)->push_back(message);
            }, nullptr, &messages, nullptr), TQREAD_OK);
  EXPECT_TRUE(std::filesystem::exists(given));
  EXPECT_NE(std::find(messages.begin(), messages.end(), "Destination file was passed via the command line."),
            messages.end());
}

TEST(TQReadRunOptions, UnknownVariantIsRefused) {
  TQReadOptions options{};
  options.variant = 7;
  EXPECT_EQ(TQReadRun(&options, nullptr, nullptr, nullptr, nullptr), TQREAD_BAD_OPTIONS);
  EXPECT_EQ(TQReadRun(nullptr, nullptr, nullptr, nullptr, nullptr), TQREAD_BAD_OPTIONS);
}

}  // namespace
}  // namespace trk::tqread::testing
