// Sales without delivery (charge, expanded charge and empty-sale lines), payment
// lines, and the expanded charge lines of a tank group.
#include <algorithm>

#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

TEST_F(TQReadTest, SaleWithoutDeliveryWritesOneChargeLinePerCharge) {
  AddTaxCode("TC1", {"R1", "", "R3", "R4"});
  AddTax("R1", schema::kTaxPercent, 5.5);
  AddTax("R3", schema::kTaxPerUnit, 0.25);  // not a percentage: left out of the rate
  AddTax("R4", schema::kTaxOnTax, 2);
  CompletedTransaction summary = Summary("A100", "S1");
  SetCharge(summary, 0, "DEL", 2, 10, "TC1", 1.5, 21.5);
  SetCharge(summary, 2, "HAZ", 1, 5, "", 0, 5);
  // A stand-alone summary takes its customer's payment whatever the sale text.
  AddTransactions({summary, Payment("A100", "S9")});
  const RunResult run = Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("8","A100","DEL","1001","2002","120.0","20.00","7.5000","0","300.00","150.00","2","0","01/15/25","08:10:00")",
      R"("8","A100","HAZ","1001","2002","120.0","0","0","5.00","0","0","0","0","01/15/25","08:10:00")"}));
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_FALSE(run.outcome.errorSeen);
}

TEST_F(TQReadTest, PaymentStaysForItsOwnLineWhenChargeSlotZeroIsEmpty) {
  CompletedTransaction summary = Summary("A100", "S1");
  SetCharge(summary, 1, "FEE", 1, 3, "", 0, 3);
  AddTransactions({summary, Payment("A100", "S1")});
  const RunResult run = Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("8","A100","FEE","1001","2002","120.0","0","0","3.00","0","0","0","0","01/15/25","08:10:00")",
      R"("8","A100","","1001","2002","0","0","0","0","0","150.00","2","0","01/15/25","08:11:00")"}));
  EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u);
  EXPECT_EQ(run.outcome.recordsProcessed, 2u);
}

TEST_F(TQReadTest, SaleWithoutChargesIsAnEmptySaleLine) {
  CompletedTransaction summary = Summary("A100", "S1");
  schema::SetText(summary.summary.text70, "a,\"b");  // written between the quotes as it is
  AddTransactions({summary, Summary("B200", "S2"), Payment("A100", "S3")});
  Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("4","A100","0","0","42","0","0","0","0","a,"b","01/15/25","08:10:00","01/15/25","08:10:00")",
      R"("4","B200","0","0","42","0","0","0","0","INV70","01/15/25","08:10:00","01/15/25","08:10:00")",
      R"("8","A100","","1001","2002","0","0","0","0","0","150.00","2","0","01/15/25","08:11:00")"}));
}

TEST_F(TQReadTest, ExpandedSaleLinesCarryNineRatesWhateverTheTaxMode) {
  office.expandedMiscellaneous = 1;
  office.taxFields = 5;
  AddTaxCode("TC1", {"R1", "", "R3"});
  AddTax("R1", schema::kTaxPercent, 5.5);
  CompletedTransaction summary = Summary("A100", "S1");
  SetCharge(summary, 0, "DEL", 2, 10.5, "TC1", 1.5, 21.5);
  SetCharge(summary, 1, "X", 0, 0, "TCX", 0, 3);
  AddTransactions({summary, Payment("A100", "S1")});
  const RunResult run = Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("19","A100","DEL","2.00","10.5000","1001","2002","2002","0","5.5000","0","0","0","0","0","0","0","0",)"
      R"("1.50","21.50","150.00","2","0","0","01/15/25","08:10:00")",
      R"("19","A100","X","0","0","1001","2002","2002","0","0","0","0","0","0","0","0","0","0",)"
      R"("0","3.00","0","0","0","0","01/15/25","08:10:00")"}));
  EXPECT_TRUE(run.Logged("Could not read Tax.zdb record for miscellaneous charge. rc=10 TaxCode=R3"));
  EXPECT_TRUE(run.Logged("Could not read TaxCode.zdb record for miscellaneous charge. rc=10 TaxCode=TCX"));
  EXPECT_TRUE(run.outcome.errorSeen);
}

TEST_F(TQReadTest, PaymentLines) {
  CompletedTransaction paidB = Payment("A100", "S1");
  paidB.payment.paymentAmountB = 99.5;
  CompletedTransaction unpaid = Payment("B200", "S2", "08:12:00");
  unpaid.payment.paymentAmountA = 0;
  schema::SetText(unpaid.payment.numberText102, "x1");  // no number: 0
  AddTransactions({paidB, unpaid});
  office.expandedMiscellaneous = 0;
  office.appendDeliveryFile = 0;
  Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("8","A100","","1001","2002","0","0","0","0","0","99.50","2","0","01/15/25","08:11:00")",
      R"("8","B200","","0","2002","0","0","0","0","0","0","2","0","01/15/25","08:12:00")"}));

  // Expanded, a payment line has the shape of an expanded charge line: the
  // payment amount is field 21 on both.
  AddTransactions({paidB});
  office.expandedMiscellaneous = 1;
  Run();
  const std::vector<std::string> lines = OutputLines();
  EXPECT_EQ(lines, std::vector<std::string>{
      R"("19","A100","","0","0","1001","2002","2002","0","0","0","0","0","0","0","0","0","0","0","0",)"
      R"("99.50","2","0","0","01/15/25","08:11:00")"});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 25) << "26 fields, as on an expanded charge line";
}

class TankGroupChargeTest : public TQReadTest {
 protected:
  std::vector<std::string> RunGroup() {
    AddTaxCode("TC1", {"R1"});
    AddTax("R1", schema::kTaxPercent, 5.5);
    CompletedTransaction tank = Tank("A100", "S1");
    tank.tank.netVolume = 0;
    CompletedTransaction summary = Summary("A100", "S1");
    SetCharge(summary, 0, "DEL", 1, 20, "TC1", 1.1, 21.1);
    SetCharge(summary, 2, "HAZ", 2, 2.5, "TCX", 0, 5);
    AddTransactions({tank, summary});
    office.expandedMiscellaneous = 1;
    office.taxFields = 0;
    run = Run();
    return OutputLines();
  }
  static constexpr const char* kDeliveryLine =
      R"("7","A100","123.4","0","15.5","1001","42","TKT0001","DSL","T41","0","0","2.1000","252.00",)"
      R"("5.5000","0","0","0","0","0","0","0","0","256.75","10.00","0","300.00","5.00","0","0","0","7",)"
      R"("INV70   ","01/15/25","08:01:00","01/15/25","08:09:00")";
  RunResult run;
};

TEST_F(TankGroupChargeTest, ExpandedChargesFollowTheDeliveryLines) {
  EXPECT_EQ(RunGroup(), (std::vector<std::string>{
      kDeliveryLine,
      R"("19","A100","DEL","1.00","20.0000","1001","42","42","123.4","5.5000","0","0","0","0","0","0","0","0",)"
      R"("1.10","21.10","0","0","0","0","01/15/25","08:10:00")",
      R"("19","A100","HAZ","2.00","2.5000","1001","42","42","123.4","0","0","0","0","0","0","0","0","0",)"
      R"("0","5.00","0","0","0","0","01/15/25","08:10:00")"}));
  EXPECT_TRUE(run.Logged("OKVReadRecEQ Error 10 on TaxCode.zdb: Record not found."));
  EXPECT_FALSE(run.outcome.errorSeen);
}

TEST_F(TQReadTest, TaxFieldsOfTankGroupChargeLinesFollowTheMode) {
  struct Case {
    uint8_t mode;
    const char* deliveryTaxFields;
    const char* chargeTaxFields;  // of the charge line, between the volume and the tax
  };
  const Case cases[] = {{1, R"("0","0","0","0","0","0","0","0","0")", ""}, {5, R"("TC1")", R"("TC1",)"}};
  office.appendDeliveryFile = 0;
  office.expandedMiscellaneous = 1;
  for (const Case& c : cases) {
    CompletedTransaction tank = Tank("A100", "S1");
    for (schema::PackedF64& amount : tank.tank.taxAmounts) amount.value = 0;
    CompletedTransaction summary = Summary("A100", "S1");
    SetCharge(summary, 0, "DEL", 1, 20, "TC1", 1.1, 21.1);
    AddTransactions({tank, summary});
    office.taxFields = c.mode;
    Run();
    const std::vector<std::string> lines = OutputLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(std::string(R"("252.00",)") + c.deliveryTaxFields + R"(,"256.75")"), std::string::npos)
        << lines[0];
    EXPECT_EQ(lines[1], std::string(R"("19","A100","DEL","1.00","20.0000","1001","42","42","120.0",)") +
                            c.chargeTaxFields + R"("1.10","21.10","0","0","0","0","01/15/25","08:10:00")")
        << int(c.mode);
  }
}

TEST_F(TankGroupChargeTest, SimultaneousDeliveryLeavesThemOut) {
  config.simultaneousDelivery = 1;
  EXPECT_EQ(RunGroup(), std::vector<std::string>{kDeliveryLine});
}

}  // namespace
}  // namespace trk::tqread::testing
