// What the will-call logic needs from the world around it, as small interfaces
// that the program fills with the real clock, settings and windows and the tests
// with fakes: the clock, the two stored paths, the windows, and the Reporter
// that keeps the log and the automatic mode of one program session.
//
// Contract:
//  - Everything here runs on the one user-interface thread.
//  - Timestamps are the local time written "%y/%m/%d %H:%M:%S" (17 characters).
//  - Every failure goes through Reporter::Failure or Reporter::EngineFailure,
//    which log it and clear the automatic mode, so that a run started from the
//    command line leaves its window open whenever anything went wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "okv/okv.h"
#include "schema/catalogue.h"
#include "schema/willcall.h"
#include "willcall/messages.h"

namespace trk::willcall {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::string LocalTimestamp() = 0;
  // Returns once LocalTimestamp() shows a later second than before the call.
  virtual void WaitForNextSecond() = 0;
};

class SystemClock final : public Clock {
 public:
  std::string LocalTimestamp() override;
  void WaitForNextSecond() override;
};

// The per-user settings "PathSource" and "PathDDP".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual bool Accessible() = 0;
  virtual std::optional<std::string> Read(std::string_view name) = 0;
  virtual bool Write(std::string_view name, std::string_view value) = 0;
};

inline constexpr char kPathSourceSetting[] = "PathSource";
inline constexpr char kPathDataDepotSetting[] = "PathDDP";
// The stored paths were read into 260-byte buffers: a longer value is refused.
inline constexpr size_t kMaxSettingLength = 259;

class LogView {
 public:
  virtual ~LogView() = default;
  virtual void AddLogLine(const std::string& line) = 0;
};

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void ShowProgress(uint32_t maximum) = 0;
  virtual void StepProgress() = 0;
  virtual void HideProgress() = 0;
};

// The main window as the controllers see it.
class Screen : public LogView, public ProgressView {
 public:
  virtual void ShowMessage(const std::string& text) = 0;
  // The target-node dialog over the open node list; nothing when cancelled.
  virtual std::optional<schema::NodeRecord> ChooseTargetNode(uint16_t nodeListHandle) = 0;
};

class Reporter {
 public:
  Reporter(LogView& view, Clock& clock) : view_(view), clock_(clock) {}

  void Log(std::string_view text);
  void Log(Msg id, std::initializer_list<MessageArg> args = {}) { Log(FormatMessage(id, args)); }
  void Failure(std::string_view text);
  void Failure(Msg id, std::initializer_list<MessageArg> args = {}) { Failure(FormatMessage(id, args)); }
  void EngineFailure(uint8_t code, OKVOperation operation, schema::FileIndex file);

  bool automaticMode() const { return automaticMode_; }
  void SetAutomaticMode(bool on) { automaticMode_ = on; }

 private:
  LogView& view_;
  Clock& clock_;
  bool automaticMode_ = false;
};

// The current folder without a trailing '/'; nothing when it cannot be had.
std::optional<std::string> SystemCurrentFolder();

}  // namespace trk::willcall
