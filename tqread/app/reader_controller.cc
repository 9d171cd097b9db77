#include "tqread/app/reader_controller.h"

#include <ctime>

#include "okv/okv.h"
#include "platform/platform.h"
#include "schema/catalogue.h"
#include "schema/records.h"

namespace trk::tqread::app {

using text::Fill;

std::string SystemClock::LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  const size_t length = std::strftime(stamp, sizeof stamp, "%y/%m/%d %H:%M:%S", &local);
  return std::string(stamp, length);
}

bool ExitRuleEndsProgram(uint8_t method, bool commandLineMode, bool conversionOk, bool errorSeenInSession) {
  const bool cleanRun = conversionOk && !errorSeenInSession;
  return ((method == kManual || commandLineMode) && cleanRun) || (method == kRealTime && commandLineMode);
}

ReaderController::ReaderController(ReaderScreen& screen, Clock& clock, CommandLine commandLine,
                                   std::string logFilePath)
    : screen_(screen), clock_(clock), commandLine_(std::move(commandLine)), logFilePath_(std::move(logFilePath)) {}

std::optional<int> ReaderController::ConversionRequested(int32_t trigger) {
  if (trigger == TQREAD_TRIGGER_STARTUP) OpenLogFile();

  TQReadOptions options{};
  options.destinationFile = commandLine_.destinationFile ? commandLine_.destinationFile->c_str() : nullptr;
  options.databaseFolder = commandLine_.databaseFolder ? commandLine_.databaseFolder->c_str() : nullptr;
  options.trigger = trigger;
  options.variant = TQREAD_VARIANT_STANDALONE;
  TQReadOutcome outcome{};
  TQReadRun(
      &options, [](void* self, const char* line) { static_cast<ReaderController*>(self)->LogLine(line); },
      [](void* self, uint32_t position, uint32_t range) {
        static_cast<ReaderController*>(self)->Progress(position, range);
      },
      this, &outcome);
  logFile_.reset();

  errorSeen_ = errorSeen_ || outcome.errorSeen;
  const uint8_t method = ConfiguredCommunicationMethod(outcome.communicationMethod);
  if (!ExitRuleEndsProgram(method, commandLineMode(), outcome.conversionOk, errorSeen_)) return std::nullopt;
  return outcome.conversionOk && !outcome.errorSeen ? 0 : 1;
}

// A log that cannot be opened leaves the lines in the list only.
void ReaderController::OpenLogFile() {
  logFile_.reset(std::fopen(logFilePath_.c_str(), "a"));
  if (!logFile_) return;
  const std::string banner = Fill(text::kLogBanner, {verTQRead, verPWOKV});
  std::fprintf(logFile_.get(), "\n\n\n%s\n%s\n\n\n", banner.c_str(), text::kLogNotice);
  std::fflush(logFile_.get());
}

void ReaderController::LogLine(std::string_view message) {
  const std::string line = Fill(text::kLogLine, {clock_.LocalTimestamp(), message});
  screen_.AddLogLine(line);
  if (logFile_) {
    std::fwrite(line.data(), 1, line.size(), logFile_.get());
    std::fputc('\n', logFile_.get());
    std::fflush(logFile_.get());  // the log of a run that dies half-way is still readable
  }
}

// The library hides the bar with an empty range.
void ReaderController::Progress(uint32_t position, uint32_t range) {
  if (range == 0) {
    screen_.HideProgress();
  } else {
    screen_.ShowProgress(position, range);
  }
}

// The run reads the Config record only once "CompTran.trn" and the output file
// have opened; before that it holds the default (Manual). The exit rule wants
// the folder's configured method, so that a Real-Time run from the command line
// ends even when there was nothing to convert, instead of staying resident and
// turning every later scheduled start into a second instance that does nothing.
uint8_t ReaderController::ConfiguredCommunicationMethod(uint8_t usedByRun) const {
  schema::Catalogue catalogue(DatabaseFolder());
  schema::ConfigRecord record{};
  if (catalogue.OpenCatalogueFile(schema::FileIndex::Config) != OKV_SUCCESS ||
      OKVReadRec(catalogue.Handle(schema::FileIndex::Config), &record) != OKV_SUCCESS) {
    return usedByRun;
  }
  return record.communicationMethod;
}

std::string ReaderController::DatabaseFolder() const {
  std::string folder = commandLine_.databaseFolder ? *commandLine_.databaseFolder : platform::ProgramFolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace trk::tqread::app
