// The will-call program's message table and its formatters.
#include "willcall/messages.h"

#include <array>
#include <cstddef>
#include <vector>

namespace trk::willcall {
namespace {

struct Entry {
  Msg id;
  const char* text;
};

constexpr std::array<Entry, static_cast<size_t>(Msg::Count)> kMessages = {{
    {Msg::PathAccessFailed, "Failed to access path information."},
    {Msg::DataDepotPathReadFailed, "Failed to read path to DDPNode.okv."},
    {Msg::SourcePathReadFailed, "Failed to read path to source text file."},
    {Msg::NoCurrentFolder, "Could not obtain current directory."},
    {Msg::SourcePathWriteFailed, "Cannot write source path to registry"},
    {Msg::DataDepotPathWriteFailed, "Cannot write DataDepot path to registry"},
    {Msg::SourceFile, "Source text file: %s"},
    {Msg::SourceOpenFailed, "Could not open %s. File conversion aborted"},
    {Msg::NoRecordType, "Line %u does not have a record type."},
    {Msg::BadRecordType, "Line %u has a problem with the record type %s."},
    {Msg::FieldFailed, "Field contents: %s, line %u, field %d, rc = %u."},
    {Msg::LineTooShort, "Line %u has too few fields; no will call record was written."},
    {Msg::AccessNumberEmpty, "The access number field should not be empty."},
    {Msg::AccessNumberBad, "Problem with the access number field. rc = %u."},
    {Msg::ProductBad, "Problem with the product description field. rc = %u."},
    {Msg::NameBad, "Problem with the name field. rc = %u."},
    {Msg::DeliverToBad, "Problem with the deliver to address field. rc = %u."},
    {Msg::MailTo1Bad, "Problem with the first mail to address field. rc = %u."},
    {Msg::MailTo2Bad, "Problem with the second mail to address field. rc = %u."},
    {Msg::CityBad, "Problem with the mail to city field. rc = %u."},
    {Msg::ProvinceStateBad, "Problem with the mail to province / state field. rc = %u."},
    {Msg::ZipCodeBad, "Problem with the mail to zip code field. rc = %u."},
    {Msg::CellPhoneBad, "Problem with the cell phone # field. rc = %u."},
    {Msg::HomePhoneBad, "Problem with the home phone # field. rc = %u."},
    {Msg::WorkPhoneBad, "Problem with the work phone # field. rc = %u."},
    {Msg::TankCapacityBad, "Problem with the tank capacity field. rc = %u."},
    {Msg::TankLocationBad, "Problem with the tank location field. rc = %u."},
    {Msg::Instruction1Bad, "Problem with the first instructions line field. rc = %u."},
    {Msg::Instruction2Bad, "Problem with the second instructions line field. rc = %u."},
    {Msg::Instruction3Bad, "Problem with the third instructions line field. rc = %u."},
    {Msg::Instruction4Bad, "Problem with the fourth instructions line field. rc = %u."},
    {Msg::TooManyFields, "There were too many fields in the will call record."},
    {Msg::CleanWarning, "Please ensure that DataDepot is not currently performing a file comparison."},
    {Msg::MasterOpenFailed, "Error opening master file, rc = %u"},
    {Msg::CopyOpenFailed, "Error opening copy file, rc = %u"},
    {Msg::CopyDeleteFailed, "Could not delete record from copy file for access #: %s, rc = %u"},
    {Msg::MasterDeleteFailed, "Could not delete record from master file for access #: %s, rc = %u"},
    {Msg::EditOpenFailed, "Error opening edit file, rc = %u"},
    {Msg::EditCloseFailed, "Error closing edit file, rc = %u"},
    {Msg::CopyCloseFailed, "Error closing copy file, rc = %u"},
    {Msg::MasterCloseFailed, "Error closing master file, rc = %u"},
}};

constexpr bool TableIsInOrder() {
  for (size_t i = 0; i < kMessages.size(); ++i) {
    if (static_cast<size_t>(kMessages[i].id) != i) return false;
  }
  return true;
}
static_assert(TableIsInOrder(), "the message table follows the order of Msg");

}  // namespace

const char* MessageText(Msg id) {
  const auto index = static_cast<size_t>(id);
  return index < kMessages.size() ? kMessages[index].text : "";
}

std::string FormatMessage(Msg id, std::initializer_list<MessageArg> args) {
  return schema::FormatMessage(MessageText(id), args);
}


std::string FormatLogLine(std::string_view timestamp, std::string_view text) {
  std::string line;
  line.reserve(timestamp.size() + 2 + text.size());
  line.append(timestamp).append(": ").append(text);
  return line;
}

}  // namespace trk::willcall
