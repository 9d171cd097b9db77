// The record walk: each record, with the records of its sale that follow it,
// becomes one group; the group's text is written and made durable, and only then
// are its records deleted. A group whose text cannot be written keeps its records
// for the next run.
#include <array>
#include <cstring>

#include "tqread/conversion.h"

namespace trk::tqread {

namespace {

using schema::TextOf;

constexpr size_t kMostTanksPerSale = 3;

// The office lists the event records that the stand-alone converter drops.
constexpr std::array<const char*, schema::kFirstInvalidRecordType> kOfficeEventLines = {
    nullptr, nullptr, "Recirculation record.", nullptr, nullptr, "Out of Gas record.", nullptr,
    "DOT Information record.", "Cylinder Fill record.", "Cylinder Exchange record.",
};

constexpr std::array<Msg, kMostTanksPerSale> kProcessingTank = {Msg::ProcessingFirstTank, Msg::ProcessingSecondTank,
                                                                Msg::ProcessingThirdTank};

}  // namespace

uint8_t ConversionRun::Walk() {
  uint8_t rc = OKV_SUCCESS;
  while (rc == OKV_SUCCESS) {
    const Group group = HandleCurrentRecord();
    recordNumber_ += group.consumed - 1;
    processed_ += group.consumed;
    const uint64_t sizeBeforeText = file_->Size();
    const bool deleted =
        !group.converted.empty() && CommitRecordText(group.text) && DeleteConverted(group, sizeBeforeText);
    if (!deleted) {
      // Stand on the group's last record again, so the walk goes on behind it.
      CompletedTransaction scratch;
      OKVReadRecIX(Handle(FileIndex::CompTran), group.resumeAddress, &scratch);
    }
    ++recordNumber_;
    AdvanceProgress(group.consumed);
    rc = ReadCompTran(OKVReadRecNX);
  }
  return rc;
}

ConversionRun::Group ConversionRun::HandleCurrentRecord() {
  const uint8_t type = current_.head.recordType;
  switch (type) {
    case schema::kTankDelivery: return HandleTankGroup();
    case schema::kDeliverySummary: return HandleSummary();
    case schema::kReceivedPayment: return HandlePayment();
    default: break;
  }
  if (type >= schema::kFirstInvalidRecordType) {
    conversionOk_ = false;
    Log(Msg::InvalidRecordType, recordNumber_, type);
    return DropCurrentRecord({});
  }
  const char* officeLine = kOfficeEventLines[type];
  return DropCurrentRecord(officeLine ? officeLine : "");
}

ConversionRun::Group ConversionRun::DropCurrentRecord(std::string_view officeText) {
  Group group;
  group.converted.push_back({currentAddress_, current_});
  group.resumeAddress = currentAddress_;
  if (Office() && !officeText.empty()) {
    group.text = officeText;
    group.text += "\r\n";
  }
  return group;
}

ConversionRun::Group ConversionRun::HandleTankGroup() {
  Log(Msg::TankStart);
  std::vector<ReadRecord> tanks;
  tanks.reserve(kMostTanksPerSale);
  tanks.push_back({currentAddress_, current_});
  Log(Msg::FirstTank, current_.head.recordType);
  const CompletedTransaction& first = tanks.front().record;
  std::optional<ReadRecord> summary;
  std::optional<ReadRecord> payment;
  uint32_t found = 0;

  for (bool gathering = true; gathering;) {
    const uint8_t rc = ReadCompTran(OKVReadRecNX);
    if (rc != OKV_SUCCESS) {
      if (rc != OKV_RECORD_NOT_FOUND) {
        errorSeen_ = true;
        ReportReadFailure(OKV_OP_READ_REC_NX, rc);
      }
      break;
    }
    const CompletedTransaction& next = current_;
    switch (next.head.recordType) {
      case schema::kTankDelivery:
        if (!summary && tanks.size() < kMostTanksPerSale && schema::SameSale(next, first)) {
          tanks.push_back({currentAddress_, next});
          Log(tanks.size() == 2 ? Msg::SecondTank : Msg::ThirdTank, next.head.recordType);
        } else {
          Log(Msg::BreakOnTank);
          gathering = false;
        }
        break;
      case schema::kDeliverySummary:
        if (!summary && schema::SameSale(next, first)) {
          summary = ReadRecord{currentAddress_, next};
          Log(Msg::SummaryFound, ++found);
        } else {
          Log(Msg::BreakOnSummary);
          gathering = false;
        }
        break;
      case schema::kReceivedPayment:  // a payment always ends its sale
        if (schema::SameSale(next, first)) {
          payment = ReadRecord{currentAddress_, next};
          Log(Msg::PaymentFound, ++found);
        } else {
          Log(Msg::BreakOnPayment);
        }
        gathering = false;
        break;
      default:
        Log(Msg::BreakOnOther);
        gathering = false;
        break;
    }
  }

  Group group;
  group.consumed = static_cast<uint32_t>(tanks.size()) + found;
  group.resumeAddress = payment ? payment->address : summary ? summary->address : tanks.back().address;
  if (!summary) {
    // The whole sale, its payment too, waits for the summary.
    errorSeen_ = true;
    Log(Msg::SummaryMissing);
  } else {
    static const schema::ReceivedPaymentRecord kNoPayment{};
    const schema::ReceivedPaymentRecord& paid = payment ? payment->record.payment : kNoPayment;
    for (size_t i = 0; i < tanks.size(); ++i) {
      Log(kProcessingTank[i]);
      AppendDeliveryLine(group.text, tanks[i].record.tank, summary->record.summary, paid, payment.has_value(), i == 0);
    }
    AppendTankGroupChargeLines(group.text, summary->record.summary, tanks.back().record.tank);
    group.converted = tanks;
    group.converted.push_back(*summary);
    if (payment) group.converted.push_back(*payment);
  }
  Log(Msg::TankEnd);
  return group;
}

ConversionRun::Group ConversionRun::HandleSummary() {
  Log(Msg::SummaryStart);
  const ReadRecord summaryRecord{currentAddress_, current_};
  const schema::DeliverySummaryRecord& summary = summaryRecord.record.summary;
  Group group;
  group.converted.push_back(summaryRecord);
  group.resumeAddress = summaryRecord.address;

  std::optional<ReadRecord> payment;
  const uint8_t rc = ReadCompTran(OKVReadRecNX);
  if (rc == OKV_SUCCESS) {
    // A stand-alone summary takes the customer's payment that follows it, whatever its sale text.
    if (current_.head.recordType == schema::kReceivedPayment &&
        schema::AccessNumberOf(current_) == TextOf(summary.accessNumber)) {
      payment = ReadRecord{currentAddress_, current_};
    }
  } else if (rc != OKV_RECORD_NOT_FOUND) {
    errorSeen_ = true;
    ReportReadFailure(OKV_OP_READ_REC_NX, rc);
  }

  if (AppendSaleLines(group.text, summary, payment ? &payment->record.payment : nullptr)) {
    group.converted.push_back(*payment);
    group.consumed = 2;
    group.resumeAddress = payment->address;
  }
  if (!options_.omitTraceLines) Log(Msg::SummaryBuffer, std::string_view(group.text), group.text.size());
  Log(Msg::SummaryEnd);
  return group;
}

ConversionRun::Group ConversionRun::HandlePayment() {
  Log(Msg::PaymentStart);
  Group group;
  group.converted.push_back({currentAddress_, current_});
  group.resumeAddress = currentAddress_;
  AppendPaymentLine(group.text, current_.payment);
  Log(Msg::PaymentEnd);
  return group;
}

bool ConversionRun::CommitRecordText(const std::string& text) {
  switch (CommitText(text)) {
    case Commit::Written: return true;
    case Commit::WriteFailed: Log(Msg::WriteFailed, recordNumber_); break;
    case Commit::FlushFailed: Log(Msg::FlushFailed, recordNumber_); break;
  }
  conversionOk_ = false;
  return false;
}

// Text goes to the file whole or not at all: a failure cuts the file back.
ConversionRun::Commit ConversionRun::CommitText(const std::string& text) {
  if (text.empty()) return Commit::Written;
  const uint64_t sizeBefore = file_->Size();
  if (!file_->Write(text)) {
    file_->Truncate(sizeBefore);
    return Commit::WriteFailed;
  }
  if (!file_->Flush()) {
    file_->Truncate(sizeBefore);
    return Commit::FlushFailed;
  }
  return Commit::Written;
}

// Deletes the group's records in file order. When the first delete fails, the
// text is taken back out of the file, so nothing is written twice; a failure
// further on leaves the rest to be converted again, and says so.
bool ConversionRun::DeleteConverted(const Group& group, uint64_t sizeBeforeText) {
  size_t deleted = 0;
  for (const ReadRecord& record : group.converted) {
    if (record.record.head.recordType == schema::kTankDelivery) {
      Log(Msg::DeletingTank, TextOf(record.record.head.transDate));
    }
    const uint8_t rc = DeleteAt(Handle(FileIndex::CompTran), record);
    if (rc != OKV_SUCCESS) {
      ReportEngine(Msg::RecordDeleteFailed, OKV_OP_DELETE_REC, FileIndex::CompTran, rc);
      break;
    }
    ++deleted;
  }
  if (deleted == group.converted.size()) return true;
  errorSeen_ = true;
  conversionOk_ = false;
  if (deleted == 0) {
    file_->Truncate(sizeBeforeText);
  } else {
    Log(Msg::SalePartlyDeleted, recordNumber_, schema::FileNameOf(FileIndex::CompTran));
  }
  return false;
}

uint8_t ConversionRun::ReadCompTran(uint8_t (*read)(uint16_t, uint16_t, void*)) {
  const uint16_t handle = Handle(FileIndex::CompTran);
  uint8_t rc = read(handle, 0, &current_);
  if (rc == OKV_SUCCESS) rc = OKVGetRecIX(handle, &currentAddress_);
  return rc;
}

void ConversionRun::ReportReadFailure(unsigned operation, uint8_t rc) {
  ReportEngine(Msg::WalkReadFailed, operation, FileIndex::CompTran, rc, {recordNumber_});
}

}  // namespace trk::tqread
