// The setup dialog's logic ("Setup TRK WillCall"): the path of the will-call
// text file and the distribution program's folder, kept in the settings.
//
// Contract:
//  - The dialog opens with the stored values that can be read.
//  - The paths change only through the two "Browse..." choices. For the
//    distribution program the chosen program file gives its folder, kept with a
//    trailing '/'.
//  - Accept writes both values, and only when a choice changed something; it
//    returns the messages to show for values that could not be written.
#pragma once

#include <string>
#include <vector>

#include "willcall/environment.h"

namespace trk::willcall {

class SetupController {
 public:
  explicit SetupController(SettingsStore& settings);

  const std::string& sourcePath() const { return sourcePath_; }
  const std::string& dataDepotFolder() const { return dataDepotFolder_; }

  void SourceFileChosen(const std::string& path);
  void DataDepotProgramChosen(const std::string& programPath);

  std::vector<std::string> Accept();

 private:
  SettingsStore& settings_;
  std::string sourcePath_;
  std::string dataDepotFolder_;
  bool changed_ = false;
};

}  // namespace trk::willcall
