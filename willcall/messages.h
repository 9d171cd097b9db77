// The texts of the will-call program: the one table of its log and message-box
// texts, the captions of its windows, and the formatters that fill them in.
//
// Contract:
//  - Every text a person sees is named here and written nowhere else.
//  - FormatMessage fills a message in with the shared formatter
//    (schema/message_format.h); EngineErrorLine is the engine's standard error
//    line for a catalogue file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "okv/okv.h"
#include "schema/catalogue.h"
#include "schema/message_format.h"

namespace trk::willcall {

enum class Msg : uint8_t {
  // Settings and folders
  PathAccessFailed, DataDepotPathReadFailed, SourcePathReadFailed, NoCurrentFolder,
  SourcePathWriteFailed, DataDepotPathWriteFailed,
  // The text conversion
  SourceFile, SourceOpenFailed, NoRecordType, BadRecordType, FieldFailed, LineTooShort,
  // The field handler
  AccessNumberEmpty, AccessNumberBad, ProductBad, NameBad, DeliverToBad, MailTo1Bad, MailTo2Bad, CityBad,
  ProvinceStateBad, ZipCodeBad, CellPhoneBad, HomePhoneBad, WorkPhoneBad, TankCapacityBad, TankLocationBad,
  Instruction1Bad, Instruction2Bad, Instruction3Bad, Instruction4Bad, TooManyFields,
  // Cleaning
  CleanWarning, MasterOpenFailed, CopyOpenFailed, CopyDeleteFailed, MasterDeleteFailed, EditOpenFailed,
  EditCloseFailed, CopyCloseFailed, MasterCloseFailed,
  Count
};

const char* MessageText(Msg id);

// Window captions, button texts and dialog titles.
namespace caption {
inline constexpr char kMainTitle[] = "TRK WillCall";
inline constexpr char kConvert[] = "&Convert";
inline constexpr char kSetup[] = "&Setup";
inline constexpr char kClean[] = "C&lean";
inline constexpr char kAboutCommand[] = "&About TRKWillCall...";
inline constexpr char kAboutTitle[] = "About TRKWillCall";
inline constexpr char kAboutProgram[] = "TRKWillCall v1.00";
inline constexpr char kAboutFileServer[] = "TQTQPF32";
inline constexpr char kAboutEngine[] = "PWOKV32";
inline constexpr char kSetupTitle[] = "Setup TRK WillCall";
inline constexpr char kSourcePath[] = "Path to Source File";
inline constexpr char kDataDepotPath[] = "Path to DataDepot";
inline constexpr char kBrowse[] = "Browse...";
inline constexpr char kBrowseSourceTitle[] = "Source for text will call file";
inline constexpr char kBrowseDataDepotTitle[] = "Path to DataDepot.exe";
inline constexpr char kTargetNodeTitle[] = "Select the Target TQP Node";
inline constexpr char kNodeNameColumn[] = "Node Name";
inline constexpr char kAddressColumn[] = "Address";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancel[] = "Cancel";
}  // namespace caption

using schema::EngineErrorLine;
using schema::MessageArg;

std::string FormatMessage(Msg id, std::initializer_list<MessageArg> args = {});


// "%s: %s", the log line of the window's list: a timestamp and a text.
std::string FormatLogLine(std::string_view timestamp, std::string_view text);

}  // namespace trk::willcall
