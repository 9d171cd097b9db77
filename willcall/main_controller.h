// The main dialog's logic: "&Convert", "C&lean" and the start with a node name.
//
// Convert reads the distribution program's folder from the settings, opens its
// node list there, takes the node (the command line's in automatic mode, else
// the one chosen in the target-node dialog), and converts the will-call text
// file into the master "WillCall.zdb" of {current folder}/{NNN}/, NNN being the
// node's address in three digits. Clean removes from that master what the
// node's truck has taken over (see cleaning.h).
//
// Contract:
//  - Every step logs through the Reporter; a failure clears the automatic mode.
//  - Every file opened by a command is closed before the command returns.
//  - StartWithNode returns true when the window should close by itself: a
//    node name was given and the conversion reported nothing wrong.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "schema/catalogue.h"
#include "willcall/environment.h"

namespace trk::willcall {

using CurrentFolderFn = std::function<std::optional<std::string>()>;

class MainController {
 public:
  MainController(Screen& screen, SettingsStore& settings, Clock& clock,
                 CurrentFolderFn currentFolder = SystemCurrentFolder);

  // The command line's node name (its first word); an empty name does nothing.
  bool StartWithNode(std::string_view nodeName);
  void Convert();
  void Clean();

  bool automaticMode() const { return reporter_.automaticMode(); }

 private:
  std::optional<std::string> ReadDataDepotFolder();
  std::optional<schema::NodeRecord> FindCommandLineNode(uint16_t nodeList);
  void ConvertForNode(const schema::NodeRecord& node);
  void RunTextConversion(const std::string& sourcePath, schema::Catalogue& master);
  void CloseReported(schema::Catalogue& catalogue, schema::FileIndex file);

  Screen& screen_;
  SettingsStore& settings_;
  Clock& clock_;
  CurrentFolderFn currentFolder_;
  Reporter reporter_;
  std::string commandLineNode_;
};

// The first word of a command-line argument: words are cut at spaces.
std::string_view FirstWord(std::string_view argument);

}  // namespace trk::willcall
