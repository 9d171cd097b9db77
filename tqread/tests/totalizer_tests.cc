// Totalizer lines: one per shift date with the group's sums, minima and maxima,
// written before the first sale; what happens to "Totals.trn" afterwards.
#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

CompletedTransaction Dated(CompletedTransaction record, std::string_view date) {
  schema::SetText(record.head.transDate, date);
  return record;
}

TotalizerRecord Counters(std::string_view date, std::initializer_list<int32_t> counters) {
  TotalizerRecord record = Totals("DSL", date);
  auto value = counters.begin();
  for (int32_t* counter : {&record.counter65, &record.counter69, &record.counter73, &record.counter77,
                           &record.counter81, &record.counter85}) {
    std::memcpy(counter, &*value++, sizeof *counter);
  }
  return record;
}

TEST_F(TQReadTest, OneTotalizerLinePerShiftDate) {
  config.complianceCharge = 1;
  config.customFeature = 2;
  TotalizerRecord a1 = Counters("01/14/25", {500, 900, 20000000, 5, 6, 7});
  const int32_t volumes1[] = {100, 200, 300, 400};
  for (int k = 0; k < 4; ++k) a1.volumes89[k].value = volumes1[k];
  a1.amount110 = 1.5;
  for (int k = 0; k < 9; ++k) a1.amounts118[k].value = k + 1;
  a1.amounts190[0].value = 0.5;
  a1.volumes214[0].value = 10;
  a1.amount222 = 2.25;
  a1.value238 = 1.25;
  a1.counter250 = 3;
  TotalizerRecord a2 = Counters("01/14/25", {2000000, 950, 30000000, 8, 2, 1});
  const int32_t volumes2[] = {1, 2, 3, 4};
  for (int k = 0; k < 4; ++k) a2.volumes89[k].value = volumes2[k];
  a2.amount110 = 0.5;
  for (int k = 0; k < 9; ++k) a2.amounts118[k].value = 1;
  a2.amounts190[0].value = 0.25;
  a2.volumes214[0].value = 5;
  a2.amount222 = 0.75;
  a2.value238 = 0.55;
  a2.value106 = 99;  // only the group's first record gives this field
  a2.counter250 = 9;
  const TotalizerRecord a3 = Counters("01/14/25", {400, 100, 15000000, 1, 1, 1});
  AddTotals({a1, a2, Counters("01/15/25", {0, 0, 50, 0, 0, 0}), a3, Counters("01/15/25", {0, 0, 70, 0, 0, 0})});
  AddTransactions({Dated(Event(2, "05:00:00"), "01/13/25"), Event(2, "09:00:00")});

  const RunResult run = Run();
  EXPECT_EQ(OutputLines(), (std::vector<std::string>{
      R"("1","1","T54","T28","T43","0","1.8","10.1","20.2","10000000","8","6","7","30.3","40.4","2.00","2.00",)"
      R"("3.00","4.00","5.00","6.00","7.00","8.00","9.00","10.00","54.00","0.75","0","0","12.5","1.5","0","3.00",)"
      R"("400","950","550","9","01/13/25","05:00:00","01/14/25","06:00:00")",
      R"("1","1","T54","T28","T43","0","0","0","0","50","0","0","0","0","0","0","0","0","0","0","0","0","0",)"
      R"("0","0","0","0","0","0","12.5","0","0","0","0","0","0","0","01/15/25","09:00:00","01/15/25","06:00:00")"}));
  EXPECT_TRUE(run.outcome.conversionOk);
  EXPECT_EQ(RecordCount(FileIndex::Totals), 0u);  // written, so emptied
  EXPECT_TRUE(FileExists(FileIndex::Totals));
}

TEST_F(TQReadTest, MissingTotalsIsAnErrorUnlessRealTime) {
  AddTransactions({Event(2)});
  config.communicationMethod = 0;
  RunResult run = Run();
  EXPECT_TRUE(run.outcome.errorSeen);
  EXPECT_TRUE(run.Logged("OKVOpenFile Error 9 on Totals.trn: File not found."));

  AddTransactions({Event(2)});
  config.communicationMethod = 2;
  run = Run();
  EXPECT_FALSE(run.outcome.errorSeen);
}

TEST_F(TQReadTest, EmptyTotalsFileGivesNoLineAndNoError) {
  schema::Catalogue(Folder()).CreateCatalogueFile(FileIndex::Totals);
  AddTransactions({Event(2)});
  config.communicationMethod = 0;
  const RunResult run = Run();
  EXPECT_FALSE(run.outcome.errorSeen);
  EXPECT_EQ(Output(), "");
}

}  // namespace
}  // namespace trk::tqread::testing
