// Tank groups and their delivery lines: grouping of one to three tanks with the
// summary and payment of their sale, the line codes, record formats, custom
// features, the configuration switches and the tax-field modes.
#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

// One tank of sale S1 for A100 with its summary and payment, standard features,
// record format 2, customer not on file.
constexpr const char* kFirstTankWithPayment =
    R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
    R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","0","300.00","5.00","150.00","2","150.00",)"
    R"("7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")";
constexpr const char* kFurtherTank =
    R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
    R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","0","0","0","0","0","0",)"
    R"("7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")";

TEST_F(TQReadTest, OneTankWithSummaryAndPaymentMakesOneDeliveryLine) {
  AddTransactions({Tank("A100", "S1"), Summary("A100", "S1"), Payment("A100", "S1")});
  const RunResult run = Run();
  EXPECT_TRUE(run.outcome.conversionOk);
  EXPECT_FALSE(run.outcome.errorSeen);
  EXPECT_EQ(OutputLines(), std::vector<std::string>{kFirstTankWithPayment});
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_FALSE(FileExists(FileIndex::CompTemp));
}

TEST_F(TQReadTest, OnlyTheFirstTankCarriesChargesTotalAndPayment) {
  CompletedTransaction summary = Summary("A100", "S1");
  SetCharge(summary, 0, "DEL", 1, 20, "", 0, 20);
  SetCharge(summary, 2, "HAZ", 1, 5, "", 0, 5);
  AddTransactions({Tank("A100", "S1"), Tank("A100", "S1", "08:05:00"), summary, Payment("A100", "S1")});
  Run();
  std::string first = kFirstTankWithPayment;
  first.replace(first.find(R"("0","300.00")"), 3, R"("25.00")");
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{first, kFurtherTank}));
}

TEST_F(TQReadTest, ThreeTanksSummaryAndPaymentAreFiveRecords) {
  AddTransactions({Tank("A100", "S1", "08:00:00"), Tank("A100", "S1", "08:01:00"), Tank("A100", "S1", "08:02:00"),
                   Summary("A100", "S1"), Payment("A100", "S1"), Event(15)});
  const RunResult run = Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{kFirstTankWithPayment, kFurtherTank, kFurtherTank}));
  EXPECT_TRUE(run.Logged("Record #6 is an invalid record type: 15"));
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_EQ(run.outcome.recordsProcessed, 6u);
}

TEST_F(TQReadTest, FourthTankStartsAGroupOfItsOwn) {
  AddTransactions({Tank("A100", "S1", "08:00:00"), Tank("A100", "S1", "08:01:00"), Tank("A100", "S1", "08:02:00"),
                   Tank("A100", "S1", "08:03:00"), Summary("A100", "S1"), Payment("A100", "S1")});
  const RunResult run = Run();
  EXPECT_TRUE(run.Logged("DELTRAN: Breaking out of CompTran loop"));
  EXPECT_TRUE(run.Logged("CompTran.trn delivery summary record was missing."));
  EXPECT_TRUE(run.outcome.errorSeen);
  EXPECT_EQ(OutputLines(), std::vector<std::string>{kFirstTankWithPayment});
  const std::vector<CompletedTransaction> parked = Records(FileIndex::CompTemp);
  ASSERT_EQ(parked.size(), 3u);
  EXPECT_EQ(schema::TextOf(parked[2].head.transTime), "08:02:00");
}

TEST_F(TQReadTest, PaymentOfAnotherSaleDoesNotJoinTheTankGroup) {
  AddTransactions({Tank("A100", "S1"), Summary("A100", "S1"), Payment("A100", "S2")});
  Run();
  std::string first = kFirstTankWithPayment;
  first.replace(first.find(R"("150.00","2","150.00")"), 21, R"("0","0","0")");
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
                               first, R"("8","A100","","1001","2002","0","0","0","0","0","150.00","2","0",)"
                                      R"("01/15/25","08:11:00")"}));
}

TEST_F(TQReadTest, LineCodeFollowsCustomerRecordFormatAndFeature) {
  AddCustomer("A100");
  office.appendDeliveryFile = 0;
  struct Case {
    uint8_t recordFormat;
    uint8_t feature;
    const char* known;
    const char* unknown;
  };
  const Case cases[] = {{2, 0, "6", "7"}, {1, 0, "47", "48"}, {2, 3, "29", "30"}, {1, 3, "29", "30"}};
  for (const Case& c : cases) {
    config.dispatchRecordFormat = c.recordFormat;
    config.customFeature = c.feature;
    AddTransactions({Tank("A100", "S1"), Summary("A100", "S1"), Tank("B200", "S2"), Summary("B200", "S2")});
    Run();
    const std::vector<std::string> lines = OutputLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, lines[0].find(',')), std::string("\"") + c.known + "\"");
    EXPECT_EQ(lines[1].substr(0, lines[1].find(',')), std::string("\"") + c.unknown + "\"");
    const bool format1Tail = lines[0].ends_with(kFormat1Tail);
    EXPECT_EQ(format1Tail, c.recordFormat == 1 && c.feature == 0) << int(c.recordFormat) << int(c.feature);
  }
}

TEST_F(TQReadTest, NetVolumeZeroIsWrittenAsZero) {
  CompletedTransaction tank = Tank("A100", "S1");
  tank.tank.netVolume = 0;
  AddTransactions({tank, Summary("A100", "S1")});
  Run();
  EXPECT_TRUE(OutputLines().at(0).starts_with(R"("7","A100","123.4","0","15.5",)"));
}

TEST_F(TQReadTest, BeginningBalanceAndComplianceChargeHaveFieldsOfTheirOwn) {
  config.beginningBalance = 1;
  config.complianceCharge = 1;
  CompletedTransaction summary = Summary("A100", "S1");
  SetCharge(summary, 0, "DEL", 1, 20, "", 0, 20);
  SetCharge(summary, 1, "RCC", 1, 7, "", 0, 7);
  SetCharge(summary, 2, "HAZ", 1, 5, "", 0, 5);
  AddTransactions({Tank("A100", "S1"), summary});
  Run();
  EXPECT_EQ(OutputLines(),
            std::vector<std::string>{
                R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
                R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","25.00","100.00","7.00","300.00",)"
                R"("5.00","0","0","0","7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")"});
}

class CustomFeatureTest : public TQReadTest {
 protected:
  std::vector<std::string> RunSale(uint8_t feature) {
    config.customFeature = feature;
    CompletedTransaction tank = Tank("A100", "S1");
    tank.tank.value185 = 3.7;
    CompletedTransaction summary = Summary("A100", "S1");
    SetCharge(summary, 0, "DEL", 1, 20, "", 0, 20);
    AddTransactions({tank, summary, Payment("A100", "S1")});
    Run();
    return OutputLines();
  }
};

TEST_F(CustomFeatureTest, Ridgeway) {
  EXPECT_EQ(RunSale(1), std::vector<std::string>{
      R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","3.7","DSL","T41","0","0","2.1000","252.00",)"
      R"("1.25","0","3.50","0","0","0","0","0","0","256.75","1.5000","2.2500","3.1250","4.5000","5.7500","10.00",)"
      R"("20.00","300.00","5.00","150.00","2","150.00","7","INV70   ","T96                     ","T87     ",)"
      R"("T144      T155      ABC ","01/15/25","08:01:00","01/15/25","08:09:00")"});
}

TEST_F(CustomFeatureTest, CorlanExpandsChargesAndNetsThemOut) {
  EXPECT_EQ(RunSale(2), (std::vector<std::string>{
      R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
      R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","0","280.00","2.25","150.00","2","130.00",)"
      R"("7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00","                ")",
      R"("19","A100","DEL","1.00","20.0000","1001","42","42","120.0","0","20.00","0","0","20.00","0",)"
      R"("01/15/25","08:10:00")"}));
}

TEST_F(CustomFeatureTest, HaldenPryce) {
  const std::string blank40 = std::string(R"(,")") + std::string(40, ' ') + "\"";
  EXPECT_EQ(RunSale(3), std::vector<std::string>{
      R"("30","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
      R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","4.50","300.00","5.00","150.00","2","150.00",)"
      R"("7","INV70           ","T87     ","T78             ","T144      ","01/15/25","08:01:00","01/15/25",)"
      R"("08:09:00")" + blank40 + blank40 + blank40 + blank40});
}

TEST_F(CustomFeatureTest, VerlundLooksUpTheProductTotals) {
  TotalizerRecord diesel = Totals("DSL", "01/14/25");
  schema::SetText(diesel.text54, "D54");
  schema::SetText(diesel.text28, "D28");
  AddTotals({diesel, Totals("GAS", "01/15/25")});  // the totals buffer ends on GAS: DSL must be searched
  const std::vector<std::string> lines = RunSale(5);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2],
            R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
            R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","20.00","300.00","5.00","150.00","2",)"
            R"("D54","D28","7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")");
}

TEST_F(CustomFeatureTest, TorvaneAddsTheRoundedValue) {
  EXPECT_EQ(RunSale(7), std::vector<std::string>{
      R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
      R"("1.25","0","3.50","0","0","0","0","0","0","256.75","10.00","20.00","300.00","5.00","150.00","2","150.00",)"
      R"("4","7","INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")"});
}

TEST_F(TQReadTest, TaxFieldModes) {
  AddTaxCode("TC1", {"R1", "", "R3"});
  AddTaxCode("TC2", {"R1", "", "RX"});
  AddTax("R1", schema::kTaxPercent, 5.5);
  AddTax("R3", schema::kTaxPerUnit, 0.25);
  const std::string zeros17 = R"(,"0","0","0","0","0","0","0","0","0","0","0","0","0","0","0","0","0")";
  struct Case {
    uint8_t mode;
    const char* taxCode;
    std::string fields;
    const char* message;
  };
  const Case cases[] = {
      {0, "TC1", R"("5.5000","0","0.2500","0","0","0","0","0","0")", nullptr},
      {0, "TCX", R"("1.25","0","3.50","0","0","0","0","0","0")",
       "OKVReadRecEQ Error 10 on TaxCode.zdb: Record not found."},
      {1, "TC1", R"("1.25","0","3.50","0","0","0","0","0","0")", nullptr},
      {2, "TC1", R"("5.5000","0","0.2500")" + zeros17, nullptr},
      {2, "TCX", R"("1.25","0","3.50")" + zeros17, "OKVReadRecEQ Error 10 on TaxCode.zdb: Record not found."},
      {3, "TC1", R"("1.25","0","3.50")" + zeros17, nullptr},
      {4, "TC1", R"("5.5000","R1","1.25","0","0","0.00","0.2500","R3","3.50")", nullptr},
      {4, "TC2", R"("5.5000","R1","1.25","0","0","0.00","0","RX","3.50")",
       "OKVReadRecEQ Error 10 on Tax.zdb: Record not found."},
      {5, "TC1", R"("TC1")", nullptr},
  };
  office.appendDeliveryFile = 0;
  for (const Case& c : cases) {
    office.taxFields = c.mode;
    CompletedTransaction tank = Tank("A100", "S1");
    schema::SetText(tank.tank.taxCode, c.taxCode);
    AddTransactions({tank, Summary("A100", "S1")});
    const RunResult run = Run();
    EXPECT_EQ(OutputLines(),
              std::vector<std::string>{
                  R"("7","A100","123.4","120.0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)" +
                  c.fields +
                  R"(,"256.75","10.00","0","300.00","5.00","0","0","0","7","INV70   ","01/15/25","08:01:00",)"
                  R"("01/15/25","08:09:00")"})
        << "mode " << int(c.mode) << " " << c.taxCode;
    if (c.message) {
      EXPECT_TRUE(run.Logged(c.message)) << c.message;
    }
    EXPECT_FALSE(run.outcome.errorSeen);
  }
}

}  // namespace
}  // namespace trk::tqread::testing
