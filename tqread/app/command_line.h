// TRKTQRead's command line: [destination file [database folder]].
//
// Contract:
//  - Words are cut at spaces and quotes mean nothing, so neither path can hold
//    a space: an argument that does is cut at its first space (leading spaces
//    are skipped). Each argument is cut on its own, so a cut destination never
//    moves the folder into another place.
//  - A database folder on the command line sets the command-line mode, which
//    the exit rule reads; words after the second are ignored.
//  - An argument with no word at all counts as not given.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace trk::tqread::app {

struct CommandLine {
  std::optional<std::string> destinationFile;
  std::optional<std::string> databaseFolder;

  bool commandLineMode() const { return databaseFolder.has_value(); }
};

// The arguments without the program's own name.
CommandLine ParseCommandLine(std::span<const std::string> arguments);

}  // namespace trk::tqread::app
