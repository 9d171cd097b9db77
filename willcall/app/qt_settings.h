// The stored paths through QSettings: organisation "Corvane", application "TRK",
// values "PathSource" and "PathDDP", in the native format of the desktop.
#pragma once

#include "willcall/environment.h"

namespace trk::willcall {

class QtSettingsStore final : public SettingsStore {
 public:
  bool Accessible() override;
  std::optional<std::string> Read(std::string_view name) override;
  bool Write(std::string_view name, std::string_view value) override;
};

}  // namespace trk::willcall
