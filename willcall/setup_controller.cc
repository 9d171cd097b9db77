// The two stored paths of the setup dialog.
#include "willcall/setup_controller.h"

#include "willcall/messages.h"

namespace trk::willcall {

SetupController::SetupController(SettingsStore& settings) : settings_(settings) {
  if (!settings_.Accessible()) return;
  sourcePath_ = settings_.Read(kPathSourceSetting).value_or("");
  dataDepotFolder_ = settings_.Read(kPathDataDepotSetting).value_or("");
}

void SetupController::SourceFileChosen(const std::string& path) {
  if (path.empty()) return;
  sourcePath_ = path;
  changed_ = true;
}

void SetupController::DataDepotProgramChosen(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  if (slash == std::string::npos) return;
  dataDepotFolder_ = programPath.substr(0, slash + 1);
  changed_ = true;
}

std::vector<std::string> SetupController::Accept() {
  std::vector<std::string> problems;
  if (!changed_) return problems;
  if (!settings_.Write(kPathSourceSetting, sourcePath_)) problems.push_back(MessageText(Msg::SourcePathWriteFailed));
  if (!settings_.Write(kPathDataDepotSetting, dataDepotFolder_)) {
    problems.push_back(MessageText(Msg::DataDepotPathWriteFailed));
  }
  changed_ = false;
  return problems;
}

}  // namespace trk::willcall
