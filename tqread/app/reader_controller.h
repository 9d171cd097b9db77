// The logic of TRKTQRead's dialog, without any windowing: it answers each
// conversion request ("TQFSUPDATE") with one TQRead run, keeps the dialog's
// log (list and start-up log file), and applies the exit rule after each run.
//
// Contract:
//  - Everything runs on the one user-interface thread. A run is synchronous;
//    requests that arrive meanwhile wait in the event queue, and runs of other
//    processes are kept apart by the conversion lock the library takes.
//  - Start() and ConvertPressed() only send a request (trigger 2 and 1); the run
//    happens when the request comes back through ConversionRequested().
//  - Only a start-up run (trigger 2) writes the log file: it is opened for
//    appending before the run's first line and closed when the run ends.
//  - errorSeen is sticky for the whole session: once a run reported an error
//    the clean-run clause of the exit rule no longer ends the program.
//  - ConversionRequested() returns the exit status when the exit rule ends the
//    program: 1 when that run reported errors, 0 otherwise.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tqread/app/command_line.h"
#include "tqread/app/texts.h"
#include "tqread/tqread.h"

namespace trk::tqread::app {

class Clock {
 public:
  virtual ~Clock() = default;
  // The local time written "%y/%m/%d %H:%M:%S".
  virtual std::string LocalTimestamp() = 0;
};

class SystemClock final : public Clock {
 public:
  std::string LocalTimestamp() override;
};

// The dialog as the controller sees it.
class ReaderScreen {
 public:
  virtual ~ReaderScreen() = default;
  // One time-stamped line for the list; shown at once.
  virtual void AddLogLine(const std::string& line) = 0;
  virtual void ShowProgress(uint32_t position, uint32_t range) = 0;
  virtual void HideProgress() = 0;
  // Sends "TQFSUPDATE" with the trigger to every listener, this program
  // included, without waiting for it to be handled.
  virtual void SendConversionRequest(int32_t trigger) = 0;
};

// Communication methods of the Config record.
enum CommunicationMethod : uint8_t { kManual = 0, kBatch = 1, kRealTime = 2 };

// Whether the program ends after a run. Manual: after a clean run. Batch: after
// a clean run with a database folder on the command line. Real-Time: after any
// run with a database folder on the command line. A clean run is one whose
// conversion succeeded while no run of the session has reported an error.
bool ExitRuleEndsProgram(uint8_t method, bool commandLineMode, bool conversionOk, bool errorSeenInSession);

class ReaderController {
 public:
  ReaderController(ReaderScreen& screen, Clock& clock, CommandLine commandLine,
                   std::string logFilePath = text::kLogFileName);

  void Start() { screen_.SendConversionRequest(TQREAD_TRIGGER_STARTUP); }
  void ConvertPressed() { screen_.SendConversionRequest(TQREAD_TRIGGER_OPERATOR); }

  // One run for a request; the program's exit status when the exit rule ends it.
  std::optional<int> ConversionRequested(int32_t trigger);

  bool errorSeen() const { return errorSeen_; }
  bool commandLineMode() const { return commandLine_.commandLineMode(); }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  void OpenLogFile();
  void LogLine(std::string_view text);
  void Progress(uint32_t position, uint32_t range);
  uint8_t ConfiguredCommunicationMethod(uint8_t usedByRun) const;
  std::string DatabaseFolder() const;

  ReaderScreen& screen_;
  Clock& clock_;
  CommandLine commandLine_;
  std::string logFilePath_;
  std::unique_ptr<std::FILE, FileCloser> logFile_;
  bool errorSeen_ = false;
};

}  // namespace trk::tqread::app
