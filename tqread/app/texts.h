// The texts of TRKTQRead: its window captions, the about box, the tray tip and
// the banner of the start-up log. The conversion's own log lines are the
// tqread library's; every other text a person sees is named here only.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace trk::tqread::app::text {

inline constexpr char kMainTitle[] = "TRKTQRead";
inline constexpr char kConvert[] = "&Convert";
inline constexpr char kAboutCommand[] = "&About TRKTQRead...";
inline constexpr char kAboutTitle[] = "About TRKTQRead";
inline constexpr char kAboutProgram[] = "TRKTQRead %s";  // the converter's version text
inline constexpr char kAboutFileServer[] = "TQTQPF32";
inline constexpr char kAboutEngine[] = "PWOKV32";
inline constexpr char kOk[] = "OK";
inline constexpr char kTrayTip[] = "TRKTQRead";

// The settings key "Corvane-TRKTQRead"; the program keeps no settings of its own.
inline constexpr char kSettingsOrganization[] = "Corvane";
inline constexpr char kSettingsApplication[] = "TRKTQRead";

// The start-up run's log file in the current folder, and its banner.
inline constexpr char kLogFileName[] = "TRKTQRead.txt";
inline constexpr char kLogBanner[] = "TRK TQRead %s\tOKV Library %s";  // converter, engine
inline constexpr char kLogNotice[] =
    "Start-up conversion of this session; later conversions are listed in the window only.";

// "%s: %s": the local time written "%y/%m/%d %H:%M:%S", and the text.
inline constexpr char kLogLine[] = "%s: %s";

// Fills the %s of a text in order; a %s without an argument prints nothing.
std::string Fill(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace trk::tqread::app::text
