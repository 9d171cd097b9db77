// A generated day holds what it promises and converts completely.
#include <gtest/gtest.h>

#include "schema/catalogue.h"
#include "schema/comptran.h"
#include "schema/tests/temp_folder.h"
#include "tools/trangen/generator.h"
#include "tqread/tqread.h"

namespace trk::tools {
namespace {

using schema::FileIndex;

uint32_t Count(schema::Catalogue& catalogue, FileIndex index) {
  uint32_t records = 0;
  uint32_t nodes = 0;
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return 0;
  OKVNumRecords(catalogue.Handle(index), &records, &nodes);
  catalogue.CloseCatalogueFile(index);
  return records;
}

TEST(Trangen, DayConvertsAndOnlyThePendingSalesWait) {
  trk::testing::TempFolder temp;
  TransactionDayOptions options;
  options.records = 400;
  options.shiftDates = 3;
  options.pendingSales = 2;
  TransactionDayCounts counts;
  ASSERT_EQ(WriteTransactionDay(temp.Folder(), options, &counts), OKV_SUCCESS);
  EXPECT_EQ(counts.transactions, 400u);
  EXPECT_EQ(counts.pendingTanks, 4u);
  schema::Catalogue catalogue(temp.Folder());
  EXPECT_EQ(Count(catalogue, FileIndex::CompTran), 400u);
  EXPECT_EQ(Count(catalogue, FileIndex::Totals), counts.totals);

  TQReadOptions run{};
  run.omitTraceLines = 1;
  TQReadOutcome outcome{};
  TQReadRun(&run, nullptr, nullptr, nullptr, &outcome);
  EXPECT_TRUE(outcome.conversionOk);
  EXPECT_TRUE(outcome.errorSeen);  // the pending sales miss their summary
  EXPECT_EQ(outcome.recordsProcessed, 400u);
  EXPECT_EQ(Count(catalogue, FileIndex::CompTran), 0u);
  EXPECT_EQ(Count(catalogue, FileIndex::CompTemp), 4u);
  EXPECT_EQ(Count(catalogue, FileIndex::Totals), 0u);
}

TEST(Trangen, SameOptionsGiveTheSameRecords) {
  std::vector<std::vector<uint8_t>> days;
  for (int i = 0; i < 2; ++i) {
    trk::testing::TempFolder temp;
    TransactionDayOptions options;
    options.records = 50;
    ASSERT_EQ(WriteTransactionDay(temp.Folder(), options, nullptr), OKV_SUCCESS);
    schema::Catalogue catalogue(temp.Folder());
    ASSERT_EQ(catalogue.OpenCatalogueFile(FileIndex::CompTran), OKV_SUCCESS);
    std::vector<uint8_t> bytes;
    schema::CompletedTransaction record;
    const uint16_t handle = catalogue.Handle(FileIndex::CompTran);
    for (uint8_t rc = OKVReadRecLO(handle, 0, &record); rc == OKV_SUCCESS; rc = OKVReadRecNX(handle, 0, &record)) {
      bytes.insert(bytes.end(), record.bytes, record.bytes + sizeof record.bytes);
    }
    days.push_back(bytes);
  }
  EXPECT_EQ(days[0], days[1]);
}

}  // namespace
}  // namespace trk::tools
