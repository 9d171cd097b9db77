// TRKTQRead's logic without windows: the command line, the requests it sends,
// the exit rule after real runs for every communication method, the session's
// sticky error, and the start-up run's log file.
#include "tqread/app/reader_controller.h"

#include <gtest/gtest.h>

#include <vector>

#include "okv/okv.h"
#include "tqread/app/tests/fixture.h"

namespace trk::tqread::app {
namespace {

using schema::FileIndex;
using testing::PrepareRun;
using testing::RunKind;
using testing::WriteConfig;

constexpr char kStamp[] = "25/01/15 08:00:00";

class FixedClock final : public Clock {
 public:
  std::string LocalTimestamp() override { return kStamp; }
};

class FakeScreen final : public ReaderScreen {
 public:
  void AddLogLine(const std::string& line) override { lines.push_back(line); }
  void ShowProgress(uint32_t position, uint32_t range) override {
    progress.push_back(std::to_string(position) + "/" + std::to_string(range));
  }
  void HideProgress() override { progress.push_back("hidden"); }
  void SendConversionRequest(int32_t trigger) override { requests.push_back(trigger); }

  bool Shows(const std::string& text) const {
    for (const std::string& line : lines) {
      if (line == std::string(kStamp) + ": " + text) return true;
    }
    return false;
  }

  std::vector<std::string> lines;
  std::vector<std::string> progress;
  std::vector<int32_t> requests;
};

class ControllerTest : public ::testing::Test {
 protected:
  std::string Folder() const { return folder.Folder(); }
  std::string LogPath() const { return folder.PathOf("TRKTQRead.txt"); }
  ReaderController Controller(CommandLine commandLine = {}) {
    return ReaderController(screen, clock, std::move(commandLine), LogPath());
  }
  // The command line that names the test's folder as the database folder.
  CommandLine WithFolder() const { return CommandLine{folder.PathOf("OUT.DAT"), Folder()}; }

  testing::ProgramFolder folder;
  FakeScreen screen;
  FixedClock clock;
};

TEST(CommandLine, TakesTheFirstWordOfTheFirstTwoArguments) {
  struct Case {
    std::vector<std::string> arguments;
    std::optional<std::string> destination;
    std::optional<std::string> folder;
  };
  const Case cases[] = {
      {{}, std::nullopt, std::nullopt},
      {{"/out/DELREAD.DAT"}, "/out/DELREAD.DAT", std::nullopt},
      {{"/out/D.DAT", "/db/", "ignored"}, "/out/D.DAT", "/db/"},
      // A path with a space is cut at the space; the folder stays the second argument.
      {{"/my out/D.DAT", "/truck db/"}, "/my", "/truck"},
      {{"  /out/D.DAT"}, "/out/D.DAT", std::nullopt},
      {{"", "   "}, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const CommandLine parsed = ParseCommandLine(c.arguments);
    EXPECT_EQ(parsed.destinationFile, c.destination);
    EXPECT_EQ(parsed.databaseFolder, c.folder);
    EXPECT_EQ(parsed.commandLineMode(), c.folder.has_value());
  }
}

TEST_F(ControllerTest, StartAndConvertAskForRunsWithTheirTriggers) {
  ReaderController controller = Controller();
  controller.Start();
  controller.ConvertPressed();
  EXPECT_EQ(screen.requests, (std::vector<int32_t>{TQREAD_TRIGGER_STARTUP, TQREAD_TRIGGER_OPERATOR}));
  EXPECT_TRUE(screen.lines.empty()) << "a request alone runs nothing";
}

// One run in a fresh folder for every method, command-line mode and outcome.
TEST_F(ControllerTest, ExitRuleAfterOneRun) {
  struct Case {
    uint8_t method;
    bool folderOnCommandLine;
    RunKind run;
    std::optional<int> exitStatus;  // nothing: the program stays
  };
  const Case cases[] = {
      {kManual, false, RunKind::Clean, 0},
      {kManual, false, RunKind::ErrorSeen, std::nullopt},
      {kManual, false, RunKind::ConversionFailed, std::nullopt},
      {kManual, true, RunKind::Clean, 0},
      {kManual, true, RunKind::ErrorSeen, std::nullopt},
      {kBatch, false, RunKind::Clean, std::nullopt},
      {kBatch, true, RunKind::Clean, 0},
      {kBatch, true, RunKind::ErrorSeen, std::nullopt},
      {kBatch, true, RunKind::ConversionFailed, std::nullopt},
      {kRealTime, false, RunKind::Clean, std::nullopt},
      {kRealTime, false, RunKind::ErrorSeen, std::nullopt},
      {kRealTime, true, RunKind::Clean, 0},
      {kRealTime, true, RunKind::ErrorSeen, 1},
      {kRealTime, true, RunKind::ConversionFailed, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "method " << int{c.method} << (c.folderOnCommandLine ? ", folder" : "")
                                      << ", " << testing::NameOf(c.run));
    testing::ProgramFolder fresh;
    WriteConfig(fresh.Folder(), c.method);
    PrepareRun(fresh.Folder(), c.run);
    CommandLine commandLine;
    if (c.folderOnCommandLine) commandLine = CommandLine{fresh.PathOf("OUT.DAT"), fresh.Folder()};
    ReaderController controller(screen, clock, commandLine, fresh.PathOf("TRKTQRead.txt"));
    EXPECT_EQ(controller.ConversionRequested(TQREAD_TRIGGER_DATA_DEPOT), c.exitStatus);
    EXPECT_EQ(controller.errorSeen(), c.run == RunKind::ErrorSeen);
  }
}

TEST_F(ControllerTest, AnErrorKeepsAManualSessionOpenUntilRestarted) {
  WriteConfig(Folder(), kManual);
  PrepareRun(Folder(), RunKind::ErrorSeen);
  ReaderController controller = Controller();
  EXPECT_FALSE(controller.ConversionRequested(TQREAD_TRIGGER_STARTUP));
  EXPECT_TRUE(screen.Shows("CompTran.trn delivery summary record was missing."));

  // The waiting sale is dropped; the next run is clean, yet the session stays.
  schema::Catalogue catalogue(Folder());
  ASSERT_EQ(catalogue.DeleteCatalogueFile(FileIndex::CompTemp), OKV_SUCCESS);
  EXPECT_FALSE(controller.ConversionRequested(TQREAD_TRIGGER_OPERATOR));
  EXPECT_TRUE(controller.errorSeen());

  EXPECT_EQ(Controller().ConversionRequested(TQREAD_TRIGGER_OPERATOR), 0) << "a new session starts clean";
}

// Before "CompTran.trn" opens the run has not read the Config record; the
// folder's Real-Time method still ends a command-line run, with status 1.
TEST_F(ControllerTest, RealTimeCommandLineRunEndsWhenNothingArrived) {
  WriteConfig(Folder(), kRealTime);
  EXPECT_EQ(Controller(WithFolder()).ConversionRequested(TQREAD_TRIGGER_STARTUP), 1);
  EXPECT_TRUE(screen.Shows("CompTran.trn was not found in this folder."));

  WriteConfig(Folder(), kBatch);
  EXPECT_FALSE(Controller(WithFolder()).ConversionRequested(TQREAD_TRIGGER_STARTUP));
}

TEST_F(ControllerTest, RunLinesAreStampedAndTheBarEndsHidden) {
  WriteConfig(Folder(), kRealTime);
  testing::WriteTransactionDay(Folder(), 0);
  ReaderController controller = Controller(WithFolder());
  controller.ConversionRequested(TQREAD_TRIGGER_DATA_DEPOT);
  ASSERT_FALSE(screen.lines.empty());
  EXPECT_EQ(screen.lines.front(), std::string(kStamp) + ": Conversion request by Data Depot...");
  EXPECT_TRUE(screen.Shows(Folder())) << "the command line's folder is logged";
  EXPECT_TRUE(screen.Shows("Destination file was passed via the command line."));
  ASSERT_GE(screen.progress.size(), 2u);
  EXPECT_EQ(screen.progress.front(), "0/60");
  EXPECT_EQ(screen.progress.back(), "hidden");
  EXPECT_FALSE(testing::ReadFile(folder.PathOf("OUT.DAT")).empty());
}

TEST_F(ControllerTest, OnlyTheStartUpRunWritesTheLogFile) {
  WriteConfig(Folder(), kBatch);
  PrepareRun(Folder(), RunKind::Clean);
  ReaderController controller = Controller();
  controller.ConversionRequested(TQREAD_TRIGGER_STARTUP);
  const std::string banner = std::string("\n\n\nTRK TQRead v1.24\tOKV Library ") + verPWOKV + "\n" + text::kLogNotice +
                             "\n\n\n";
  std::string expected = banner;
  for (const std::string& line : screen.lines) expected += line + "\n";
  EXPECT_EQ(testing::ReadFile(LogPath()), expected);
  EXPECT_EQ(screen.lines.front(), std::string(kStamp) + ": Conversion request during application startup...");

  controller.ConversionRequested(TQREAD_TRIGGER_OPERATOR);
  EXPECT_EQ(testing::ReadFile(LogPath()), expected) << "later runs show in the list only";

  // The next session appends.
  Controller().ConversionRequested(TQREAD_TRIGGER_STARTUP);
  EXPECT_EQ(testing::ReadFile(LogPath()).rfind(banner, 0), 0u);
  EXPECT_NE(testing::ReadFile(LogPath()).find(banner, banner.size()), std::string::npos);
}

}  // namespace
}  // namespace trk::tqread::app
