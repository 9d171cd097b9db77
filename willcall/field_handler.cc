// Fields of a will-call line into a WillCallRecord, and the record's writing.
#include "willcall/field_handler.h"

#include <array>
#include <utility>

namespace trk::willcall {
namespace {

using schema::WillCallRecord;

// One text field of the record: where fields 3 to 19 go, how long they may be,
// and the message for a text that does not fit.
struct TextSlot {
  void (*store)(WillCallRecord& record, std::string_view text);
  size_t maxCharacters;
  Msg problem;
};

template <auto Member>
constexpr TextSlot Slot(Msg problem) {
  return {[](WillCallRecord& record, std::string_view text) { schema::SetText(record.*Member, text); },
          sizeof(std::declval<WillCallRecord&>().*Member) - 1, problem};
}

constexpr int kFirstTextField = 3;

constexpr std::array<TextSlot, kLastField - kFirstTextField + 1> kTextSlots = {{
    Slot<&WillCallRecord::productDescription>(Msg::ProductBad),
    Slot<&WillCallRecord::customerName>(Msg::NameBad),
    Slot<&WillCallRecord::deliverToAddress>(Msg::DeliverToBad),
    Slot<&WillCallRecord::mailToAddress1>(Msg::MailTo1Bad),
    Slot<&WillCallRecord::mailToAddress2>(Msg::MailTo2Bad),
    Slot<&WillCallRecord::mailToCity>(Msg::CityBad),
    Slot<&WillCallRecord::mailToProvinceState>(Msg::ProvinceStateBad),
    Slot<&WillCallRecord::mailToZipCode>(Msg::ZipCodeBad),
    Slot<&WillCallRecord::cellPhone>(Msg::CellPhoneBad),
    Slot<&WillCallRecord::homePhone>(Msg::HomePhoneBad),
    Slot<&WillCallRecord::workPhone>(Msg::WorkPhoneBad),
    Slot<&WillCallRecord::tankCapacity>(Msg::TankCapacityBad),
    Slot<&WillCallRecord::tankLocation>(Msg::TankLocationBad),
    Slot<&WillCallRecord::instruction1>(Msg::Instruction1Bad),
    Slot<&WillCallRecord::instruction2>(Msg::Instruction2Bad),
    Slot<&WillCallRecord::instruction3>(Msg::Instruction3Bad),
    Slot<&WillCallRecord::instruction4>(Msg::Instruction4Bad),
}};

std::string_view WithoutTrailingSpaces(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

uint8_t FieldHandler::Handle(int fieldNumber, std::string_view text) {
  text = WithoutTrailingSpaces(text);
  if (fieldNumber == kAccessNumberField) return HandleAccessNumber(text);
  if (fieldNumber > kAccessNumberField && fieldNumber <= kLastField) {
    if (!recordActive_) return 0;
    const uint8_t result = HandleTextField(fieldNumber, text);
    if (fieldNumber < kLastField) return result;
    // A too long last field is left out of a record that is still written.
    const uint8_t written = WriteRecord();
    return written != 0 ? written : result;
  }
  reporter_.Log(Msg::TooManyFields);
  return 0;
}

uint8_t FieldHandler::HandleAccessNumber(std::string_view text) {
  record_ = {};
  recordActive_ = false;
  recordPending_ = false;
  if (text.empty()) {
    reporter_.Log(Msg::AccessNumberEmpty);
    return kFieldEmpty;
  }
  if (text.size() > sizeof record_.accessNumber - 1) {
    reporter_.Log(Msg::AccessNumberBad, {kFieldTooLong});
    return kFieldTooLong;
  }
  schema::SetText(record_.accessNumber, text);
  recordActive_ = true;
  recordPending_ = true;
  return 0;
}

uint8_t FieldHandler::HandleTextField(int fieldNumber, std::string_view text) {
  if (text.empty()) return 0;
  const TextSlot& slot = kTextSlots[fieldNumber - kFirstTextField];
  if (text.size() > slot.maxCharacters) {
    reporter_.Log(slot.problem, {kFieldTooLong});
    return kFieldTooLong;
  }
  slot.store(record_, text);
  return 0;
}

uint8_t FieldHandler::WriteRecord() {
  recordPending_ = false;
  uint8_t result;
  do {
    schema::SetText(record_.entryTimestamp, clock_.LocalTimestamp());
    result = writer_(record_);
    if (result == OKV_DUPLICATE_KEY) clock_.WaitForNextSecond();
  } while (result == OKV_DUPLICATE_KEY);
  if (result != OKV_SUCCESS) {
    reporter_.Log(EngineErrorLine(result, OKV_OP_CREATE_REC, schema::FileIndex::WillCall));
    return result;
  }
  ++recordsWritten_;
  return 0;
}

}  // namespace trk::willcall
