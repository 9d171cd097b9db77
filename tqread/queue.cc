// "CompTran.trn" as a queue that the trucks fill and each run empties: records
// parked in "CompTemp.trn" by the last run come back at the start of a run, and
// what the run could not convert is parked again at its end. Records move by adding the copy
// first and deleting the original second; a failed delete takes the copy back,
// so a record is never lost and never left in both places.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "tqread/conversion.h"

namespace trk::tqread {

uint8_t ConversionRun::DeleteAt(uint16_t handle, const ReadRecord& record) {
  CompletedTransaction found;
  const uint8_t rc = OKVReadRecIX(handle, record.address, &found);
  if (rc != OKV_SUCCESS) return rc;
  // Only the very record that was read goes.
  if (std::memcmp(found.bytes, record.record.bytes, sizeof found.bytes) != 0) return OKV_RECORD_NOT_FOUND;
  return OKVDeleteRec(handle);
}

bool ConversionRun::MoveRecord(uint16_t from, const ReadRecord& record, uint16_t to) {
  if (OKVCreateRec(to, &record.record) != OKV_SUCCESS) return false;
  uint32_t copyAddress = 0;
  const bool copyKnown = OKVGetRecIX(to, &copyAddress) == OKV_SUCCESS;
  if (DeleteAt(from, record) == OKV_SUCCESS) return true;
  if (copyKnown) DeleteAt(to, ReadRecord{copyAddress, record.record});
  return false;
}

std::vector<ConversionRun::ReadRecord> ConversionRun::ReadWholeFile(uint16_t handle) {
  std::vector<ReadRecord> records;
  ReadRecord record;
  uint8_t rc = OKVReadRecLO(handle, 0, &record.record);
  while (rc == OKV_SUCCESS && OKVGetRecIX(handle, &record.address) == OKV_SUCCESS) {
    records.push_back(record);
    rc = OKVReadRecNX(handle, 0, &record.record);
  }
  return records;
}

// The records of `handle` that continue the sales of the parked records: of the
// same dates, and of the same customer and sale text.
std::vector<ConversionRun::ReadRecord> ConversionRun::ContinuationsOf(uint16_t handle,
                                                                      const std::vector<ReadRecord>& parked) {
  std::set<std::string> dates;
  for (const ReadRecord& record : parked) dates.emplace(schema::CompTranKeyText(record.record));
  const auto continuesParkedSale = [&parked](const CompletedTransaction& candidate) {
    return !schema::AccessNumberOf(candidate).empty() &&
           std::any_of(parked.begin(), parked.end(),
                       [&candidate](const ReadRecord& record) { return schema::SameSale(record.record, candidate); });
  };
  std::vector<ReadRecord> continuations;
  for (const std::string& date : dates) {
    const auto key = schema::CompTranDateKey(date);
    ReadRecord record;
    uint8_t rc = OKVReadRecEQ(handle, 0, key.data(), &record.record);
    while (rc == OKV_SUCCESS && schema::CompTranKeyText(record.record) == date &&
           OKVGetRecIX(handle, &record.address) == OKV_SUCCESS) {
      if (continuesParkedSale(record.record)) continuations.push_back(record);
      rc = OKVReadRecNX(handle, 0, &record.record);
    }
  }
  return continuations;
}

// Records of a date keep their insertion order, so parked records added now
// would follow the rest of their sale that arrived since (the summary would
// come before its tanks). Those records therefore move behind the returned
// ones. Failures here are not reported: whatever did not move stays where it
// is, and nothing is lost.
void ConversionRun::ReturnParkedRecords() {
  if (catalogue_->OpenCatalogueFile(FileIndex::CompTemp) != OKV_SUCCESS) return;
  Log(Msg::CompTempPresent);
  const uint16_t parkedFile = Handle(FileIndex::CompTemp);
  const uint16_t queue = Handle(FileIndex::CompTran);
  const std::vector<ReadRecord> parked = ReadWholeFile(parkedFile);
  const std::vector<ReadRecord> continuations = ContinuationsOf(queue, parked);

  bool allReturned = true;
  for (const ReadRecord& record : parked) {
    Log(Msg::CopyFromCompTemp, record.record.head.recordType);
    if (!MoveRecord(parkedFile, record, queue)) {
      allReturned = false;
      break;
    }
  }
  if (allReturned) {
    for (const ReadRecord& record : continuations) {
      if (!MoveRecord(queue, record, queue)) break;
    }
  }
  // A parking file that still holds records stays for the next run.
  uint32_t left = 1;
  uint32_t nodes = 0;
  const bool empty = OKVNumRecords(parkedFile, &left, &nodes) == OKV_SUCCESS && left == 0;
  catalogue_->CloseCatalogueFile(FileIndex::CompTemp);
  if (empty) {
    catalogue_->DeleteCatalogueFile(FileIndex::CompTemp);
    Log(Msg::CompTempDeleted);
  }
}

void ConversionRun::LogInventory() {
  Log(Msg::InventoryStart);
  const uint16_t handle = Handle(FileIndex::CompTran);
  CompletedTransaction record;
  for (uint8_t rc = OKVReadRecLO(handle, 0, &record); rc == OKV_SUCCESS; rc = OKVReadRecNX(handle, 0, &record)) {
    Log(Msg::InventoryType, record.head.recordType);
    if (record.head.recordType == schema::kDeliverySummary) Log(Msg::InventorySaleNumber, record.summary.saleNumber);
  }
}

bool ConversionRun::EnsureCompTempOpen() {
  if (Handle(FileIndex::CompTemp) != 0) return true;
  if (!catalogue_->FileExists(FileIndex::CompTemp) &&
      catalogue_->CreateCatalogueFile(FileIndex::CompTemp) != OKV_SUCCESS) {
    return false;
  }
  return catalogue_->OpenCatalogueFile(FileIndex::CompTemp) == OKV_SUCCESS;
}

// Everything still in "CompTran.trn" waits in "CompTemp.trn" for the next run.
void ConversionRun::ParkUnconvertedRecords() {
  if (catalogue_->OpenCatalogueFile(FileIndex::CompTran) != OKV_SUCCESS) return;
  const uint16_t queue = Handle(FileIndex::CompTran);
  ReadRecord record;
  while (OKVReadRecLO(queue, 0, &record.record) == OKV_SUCCESS &&
         OKVGetRecIX(queue, &record.address) == OKV_SUCCESS && EnsureCompTempOpen()) {
    Log(Msg::CopyToCompTemp, record.record.head.recordType);
    if (!MoveRecord(queue, record, Handle(FileIndex::CompTemp))) break;
  }
  catalogue_->CloseCatalogueFile(FileIndex::CompTran);
  catalogue_->CloseCatalogueFile(FileIndex::CompTemp);
  Log(Msg::ClosingCompTemp);
}

}  // namespace trk::tqread
