// The totalizer lines: one line per shift date, summed over every counter
// record of that date in "Totals.trn", written before the run's first sale.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "tqread/conversion.h"
#include "tqread/fields.h"

namespace trk::tqread {

namespace {

using schema::TextOf;
using schema::TotalizerRecord;

constexpr int kAmountDecimals = 2;
constexpr int kTenthsDecimals = 1;

// The counters and sums of one shift date.
struct ShiftTotals {
  explicit ShiftTotals(const TotalizerRecord& firstRecord) : first(firstRecord) {}

  void Add(const TotalizerRecord& record) {
    for (int k = 0; k < 4; ++k) volumes89[k] += record.volumes89[k].value;
    for (int k = 0; k < 2; ++k) volumes214[k] += record.volumes214[k].value;
    amount110 += record.amount110;
    for (int k = 0; k < 9; ++k) {
      amounts118[k] += record.amounts118[k].value;
      grandSum += record.amounts118[k].value;
    }
    for (int k = 0; k < 3; ++k) amounts190[k] += record.amounts190[k].value;
    amount222 += record.amount222;
    value238 += record.value238;
    minimum73 = std::min<int64_t>(minimum73, record.counter73);
    minimum65 = std::min<int64_t>(minimum65, record.counter65);
    maximum69 = std::max<int64_t>(maximum69, record.counter69);
    maximum77 = std::max<int64_t>(maximum77, record.counter77);
    maximum81 = std::max<int64_t>(maximum81, record.counter81);
    maximum85 = std::max<int64_t>(maximum85, record.counter85);
    maximum250 = std::max(maximum250, record.counter250);
  }

  TotalizerRecord first;  // texts, resolution and value106 come from it
  int64_t volumes89[4] = {};
  int64_t volumes214[2] = {};
  double amount110 = 0;
  double amounts118[9] = {};
  double grandSum = 0;
  double amounts190[3] = {};
  double amount222 = 0;
  double value238 = 0;
  // Minima start high, maxima at 0, as the register's own reports do.
  int64_t minimum73 = 10000000;
  int64_t minimum65 = 1000000;
  int64_t maximum69 = 0;
  int64_t maximum77 = 0;
  int64_t maximum81 = 0;
  int64_t maximum85 = 0;
  uint8_t maximum250 = 0;
};

}  // namespace

// Returns whether every totalizer line reached the file. Leaves the run's first
// completed transaction as the current record again.
bool ConversionRun::OutputTotalizerRecord() {
  Log(Msg::TotalizerStart);
  bool ok = true;
  const uint8_t opened = catalogue_->OpenCatalogueFile(FileIndex::Totals);
  const uint16_t handle = Handle(FileIndex::Totals);
  std::vector<ShiftTotals> shifts;
  if (opened != OKV_SUCCESS) {
    if (config_.communicationMethod != 2) {  // a real-time truck sends no totals
      errorSeen_ = true;
      ReportEngine(Msg::TotalsOpenFailed, OKV_OP_OPEN_FILE, FileIndex::Totals, opened);
    }
  } else {
    // Group by the exact date text, in the date order of the second key.
    std::unordered_map<std::string, size_t> shiftOfDate;
    uint8_t rc = OKVReadRecLO(handle, 1, &totals_);
    unsigned operation = OKV_OP_READ_REC_LO;
    while (rc == OKV_SUCCESS) {
      const auto [entry, added] = shiftOfDate.try_emplace(std::string(TextOf(totals_.shiftDate)), shifts.size());
      if (added) shifts.emplace_back(totals_);
      shifts[entry->second].Add(totals_);
      rc = OKVReadRecNX(handle, 1, &totals_);
      operation = OKV_OP_READ_REC_NX;
    }
    if (rc != OKV_RECORD_NOT_FOUND) {  // an empty file simply has no lines
      errorSeen_ = true;
      ReportEngine(Msg::TotalsReadFailed, operation, FileIndex::Totals, rc);
    }
  }

  const uint8_t feature = config_.customFeature;
  for (const ShiftTotals& shift : shifts) {
    const TotalizerRecord& first = shift.first;
    const uint8_t resolution = first.volumeFormat;
    std::string text;
    LineBuilder line(text);
    const auto trace = [&](int place) {
      if (!options_.omitTraceLines) Log(Msg::TotalizerTrace, place, std::string_view(text), text.size());
    };
    line.Text("1");
    line.Text("1");
    trace(1);
    line.Text(TextOf(first.text54));
    trace(2);
    line.Text(TextOf(first.text28));
    trace(3);
    line.Text(TextOf(first.text43));
    trace(4);
    line.Zero();
    trace(5);
    line.FixedOrZero(shift.value238, kTenthsDecimals);
    trace(6);
    line.Volume(shift.volumes89[0], resolution);
    line.Volume(shift.volumes89[1], resolution);
    trace(7);
    line.Integer(shift.minimum73);
    line.Integer(shift.maximum77);
    line.Integer(shift.maximum81);
    line.Integer(shift.maximum85);
    trace(8);
    line.Volume(shift.volumes89[2], resolution);
    line.Volume(shift.volumes89[3], resolution);
    trace(9);
    line.FixedOrZero(shift.amount110, kAmountDecimals);
    trace(10);
    for (double amount : shift.amounts118) line.FixedOrZero(amount, kAmountDecimals);
    trace(11);
    line.FixedOrZero(shift.grandSum, kAmountDecimals);
    trace(12);
    for (double amount : shift.amounts190) line.FixedOrZero(amount, kAmountDecimals);
    trace(13);
    line.FixedOrZero(first.value106, kTenthsDecimals);
    trace(14);
    line.Volume(shift.volumes214[0], resolution);
    line.Volume(shift.volumes214[1], resolution);
    trace(15);
    if (config_.complianceCharge == 1) line.FixedOrZero(shift.amount222, kAmountDecimals);
    if (feature == schema::kFeatureCorlan) {
      line.Integer(shift.minimum65);
      line.Integer(shift.maximum69);
      line.Integer(shift.maximum69 - shift.minimum65);
      line.Integer(shift.maximum250);
    }
    trace(16);
    // The first completed transaction of (or after) the shift.
    line.CutTo8(TextOf(current_.head.transDate));
    line.CutTo8(TextOf(current_.head.transTime));
    line.CutTo8(TextOf(first.shiftDate));
    line.CutTo8(TextOf(first.shiftTime));
    line.EndLine();
    trace(17);

    const Commit commit = CommitText(text);
    if (commit == Commit::FlushFailed) {
      ok = false;
      Log(Msg::TotalizerFlushFailed);
      break;
    }
    if (commit == Commit::WriteFailed) {
      ok = false;
      Log(Msg::TotalizerWriteFailed);
    }
    PositionOnNextShift(TextOf(first.shiftDate));
  }

  if (Office() && feature != schema::kFeatureVerlund) CloseFile(FileIndex::Totals, Msg::TotalsCloseFailed);
  const uint8_t rc = ReadCompTran(OKVReadRecLO);
  if (rc != OKV_SUCCESS) ReportEngine(Msg::FirstRecordAfterTotalizers, OKV_OP_READ_REC_LO, FileIndex::CompTran, rc);
  Log(Msg::TotalizerEnd);
  return ok;
}

// Makes the first completed transaction dated after the shift the current
// record; when there is none, the record in the buffer stays.
void ConversionRun::PositionOnNextShift(std::string_view shiftDate) {
  const auto key = schema::CompTranDateKey(shiftDate);
  CompletedTransaction next;
  const uint8_t rc = OKVReadRecGT(Handle(FileIndex::CompTran), 0, key.data(), &next);
  if (rc == OKV_SUCCESS) {
    current_ = next;
  } else if (rc != OKV_RECORD_NOT_FOUND) {
    ReportEngine(Msg::NextShiftReadFailed, OKV_OP_READ_REC_GT, FileIndex::CompTran, rc);
  }
}

}  // namespace trk::tqread
