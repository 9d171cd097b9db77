// TRKTQRead's windows offscreen and the program itself: requests over the
// session bus and without one, the log list, the tray, the about box, a second
// instance, the exit rule for each communication method, and a scheduled
// command-line run without any display.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDBusConnection>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "tqread/app/about_dialog.h"
#include "tqread/app/main_dialog.h"
#include "tqread/app/request_channel.h"
#include "tqread/app/tests/fixture.h"

namespace trk::tqread::app {
namespace {

using schema::FileIndex;
using testing::PrepareRun;
using testing::RunKind;
using testing::WriteConfig;

constexpr char kRunComplete[] = "TRK TQRead file generation complete.";
constexpr int kWaitMs = 30000;

QStringList LogTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text().mid(19);  // without the time stamp
  return texts;
}

// Handles events until the condition holds; false when the time runs out.
template <typename Condition>
bool Eventually(Condition condition) {
  QDeadlineTimer deadline(kWaitMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(10);
  }
  return true;
}

bool BusAvailable() { return QDBusConnection::sessionBus().isConnected(); }

// A connection that never connects: the program as it runs without a bus.
QDBusConnection NoBus() { return QDBusConnection(QStringLiteral("no session bus")); }

// Sends TQFSUPDATE the way any other program would.
void SendSignalFromOutside(int trigger) {
  const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
  ASSERT_FALSE(dbusSend.isEmpty()) << "dbus-send is missing";
  ASSERT_EQ(QProcess::execute(dbusSend, {"--session", "--type=signal", "/", "com.corvane.TRK.TQFSUPDATE",
                                         QStringLiteral("int32:%1").arg(trigger)}),
            0);
}

// The test's program folder, with the current folder in its "work" folder,
// where the start-up run's log file lands.
class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    std::filesystem::create_directories(WorkFolder());
    previousFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(WorkFolder());
  }
  ~ProgramTest() override { std::filesystem::current_path(previousFolder_); }

  std::string Folder() const { return folder.Folder(); }
  std::string WorkFolder() const { return folder.PathOf("work"); }
  std::string LogFile() const { return WorkFolder() + "/TRKTQRead.txt"; }

  testing::ProgramFolder folder;
  SystemClock clock;

 private:
  std::filesystem::path previousFolder_;
};

TEST_F(ProgramTest, SignalsOnTheBusStartRunsThatFillTheList) {
  if (!BusAvailable()) GTEST_SKIP() << "no session bus: run the tests under dbus-run-session";
  WriteConfig(Folder(), kBatch);
  testing::WriteTransactionDay(Folder(), 1);
  const std::string expected = testing::DeliveryFileOfDay(Folder() + "twin/", kBatch, 1);

  MainDialog dialog({}, clock, QDBusConnection::sessionBus());
  ASSERT_TRUE(dialog.requests().listening());
  dialog.show();
  dialog.Start();  // comes back over the bus like anyone's signal
  ASSERT_TRUE(Eventually([&] { return LogTexts(dialog.logList()).contains(kRunComplete); }));
  EXPECT_EQ(testing::ReadFile(Folder() + "DELREAD.DAT"), expected);
  EXPECT_FALSE(dialog.progressBar()->isVisible());

  SendSignalFromOutside(TQREAD_TRIGGER_DATA_DEPOT);
  ASSERT_TRUE(Eventually([&] { return LogTexts(dialog.logList()).contains("Conversion request by Data Depot..."); }));
  const QStringList texts = LogTexts(dialog.logList());
  EXPECT_TRUE(texts.contains("Comptemp file present.")) << "the waiting sale came back";
  EXPECT_EQ(texts.last(), "Closing CompTemp file");
  EXPECT_TRUE(dialog.isVisible()) << "Batch without a folder on the command line stays";
  EXPECT_EQ(testing::RecordCount(Folder(), FileIndex::CompTemp),
            testing::RecordCount(Folder() + "twin/", FileIndex::CompTemp));
  // Only start-up runs write the log file: one banner, so the own signal ran once.
  const std::string log = testing::ReadFile(LogFile());
  EXPECT_NE(log.find("TRK TQRead v1.24"), std::string::npos);
  EXPECT_EQ(log.find("TRK TQRead v1.24"), log.rfind("TRK TQRead v1.24"));
}

TEST_F(ProgramTest, WithoutABusStartAndConvertStillRun) {
  WriteConfig(Folder(), kBatch);
  PrepareRun(Folder(), RunKind::Clean);
  MainDialog dialog({}, clock, NoBus());
  EXPECT_FALSE(dialog.requests().listening());
  dialog.show();
  dialog.Start();
  QTest::mouseClick(dialog.convertButton(), Qt::LeftButton);
  ASSERT_TRUE(Eventually([&] { return LogTexts(dialog.logList()).count(kRunComplete) == 2; }));
  const QStringList texts = LogTexts(dialog.logList());
  EXPECT_EQ(texts.first(), "Conversion request during application startup...");
  EXPECT_EQ(texts.count("Conversion request by operator..."), 1);
  const std::string log = testing::ReadFile(LogFile());
  EXPECT_NE(log.find("Conversion request during application startup..."), std::string::npos);
  EXPECT_EQ(log.find("Conversion request by operator..."), std::string::npos) << "only the start-up run is logged";
}

TEST_F(ProgramTest, ExitRuleFinishesTheDialogWithTheRunsStatus) {
  WriteConfig(Folder(), kRealTime);
  PrepareRun(Folder(), RunKind::ErrorSeen);
  MainDialog dialog(CommandLine{Folder() + "OUT.DAT", Folder()}, clock, NoBus());
  dialog.show();
  dialog.Start();
  ASSERT_TRUE(Eventually([&] { return !dialog.isVisible(); }));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.exitStatus(), 1);
}

TEST_F(ProgramTest, LogListKeepsTheNewestLinesInView) {
  MainDialog dialog({}, clock, NoBus());
  dialog.show();
  for (int i = 0; i < 150; ++i) dialog.AddLogLine("25/01/15 08:00:00: line " + std::to_string(i));
  QListWidget* list = dialog.logList();
  ASSERT_EQ(list->count(), MainDialog::kMaxLogLines);
  EXPECT_EQ(LogTexts(list).front(), "line 50");
  EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());

  // Reading older lines: a new line does not pull the list away from them.
  list->verticalScrollBar()->setValue(0);
  dialog.AddLogLine("25/01/15 08:00:00: line 150");
  EXPECT_EQ(list->verticalScrollBar()->value(), 0);
  EXPECT_EQ(LogTexts(list).back(), "line 150");
}

TEST_F(ProgramTest, MinimisingHidesInTheTrayUntilTheIconIsUsed) {
  for (const auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context}) {
    MainDialog dialog({}, clock, NoBus(), [] { return true; });
    dialog.show();
    dialog.showMinimized();
    ASSERT_TRUE(Eventually([&] { return !dialog.isVisible(); }));
    EXPECT_TRUE(dialog.trayIcon()->isVisible());
    EXPECT_EQ(dialog.trayIcon()->toolTip(), "TRKTQRead");

    emit dialog.trayIcon()->activated(QSystemTrayIcon::Trigger);  // a single click does nothing
    EXPECT_FALSE(dialog.isVisible());
    emit dialog.trayIcon()->activated(reason);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_FALSE(dialog.trayIcon()->isVisible());
  }

  // Where the desktop has no tray, minimising is a normal minimise.
  MainDialog dialog({}, clock, NoBus(), [] { return false; });
  dialog.show();
  dialog.showMinimized();
  QTest::qWait(50);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.isMinimized());
  EXPECT_FALSE(dialog.trayIcon()->isVisible());
}

TEST_F(ProgramTest, AboutBoxShowsBothVersionTexts) {
  AboutDialog about(nullptr);
  EXPECT_EQ(about.windowTitle(), "About TRKTQRead");
  QStringList labels;
  for (const QLabel* label : about.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains("TRKTQRead v1.24"));
  EXPECT_TRUE(labels.contains("TQTQPF32"));
  EXPECT_TRUE(labels.contains("PWOKV32"));
  QStringList versions;
  for (const QLineEdit* field : about.findChildren<QLineEdit*>()) {
    EXPECT_TRUE(field->isReadOnly());
    versions << field->text();
  }
  EXPECT_EQ(versions, (QStringList{"v1.09", "v1.10"}));
}

// The program itself. Each start gets its own program folder (TRK_FOLDER) with
// a "work" folder as its current folder; all share the test's lock folder.
class ProcessTest : public ProgramTest {
 protected:
  ~ProcessTest() override {
    for (QProcess* program : started_) {
      if (program->state() != QProcess::NotRunning) {
        program->kill();
        program->waitForFinished(kWaitMs);
      }
      delete program;
    }
  }

  static QProcessEnvironment Offscreen() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
  }

  QProcess& Start(const std::string& programFolder, const QStringList& arguments = {},
                  QProcessEnvironment environment = Offscreen()) {
    std::filesystem::create_directories(programFolder + "work");
    environment.insert("TRK_FOLDER", QString::fromStdString(programFolder));
    auto* program = new QProcess;
    started_.push_back(program);
    program->setProcessEnvironment(environment);
    program->setWorkingDirectory(QString::fromStdString(programFolder + "work"));
    program->start(TRKTQREAD_PATH, arguments);
    EXPECT_TRUE(program->waitForStarted(kWaitMs));
    return *program;
  }

  static std::string LogFileOf(const std::string& programFolder) { return programFolder + "work/TRKTQRead.txt"; }

  // Waits until the start-up run has written its last log line and let go of
  // the conversion lock; the exit rule is applied right after.
  static ::testing::AssertionResult StartUpRunDone(const std::string& programFolder) {
    const auto logged = [&] { return testing::ReadFile(LogFileOf(programFolder)).find(kRunComplete); };
    if (!Eventually([&] { return logged() != std::string::npos; })) {
      return ::testing::AssertionFailure() << "no start-up run";
    }
    return RunLockFree();
  }

  // Whether no run holds the conversion lock (any more). The lock file is
  // taken directly: the test's own engine and conversion locks may still be
  // bound to the lock folder of an earlier test, and the test takes no engine
  // call while a program may be converting.
  static ::testing::AssertionResult RunLockFree() {
    const std::string lockFile = platform::LockFolder() + "ProcessControl.lock";
    const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return ::testing::AssertionFailure() << "no lock file " << lockFile;
    const bool free = Eventually([fd] { return flock(fd, LOCK_EX | LOCK_NB) == 0; });
    close(fd);
    if (!free) return ::testing::AssertionFailure() << "the run did not end";
    return ::testing::AssertionSuccess();
  }

  // Whether the program ended by itself, with its status; nothing when it stays.
  static std::optional<int> EndedBy(QProcess& program, int graceMs) {
    if (!program.waitForFinished(graceMs)) return std::nullopt;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.readAllStandardError().toStdString();
    return program.exitCode();
  }

 private:
  std::vector<QProcess*> started_;
};

TEST_F(ProcessTest, SecondInstanceEndsAtOnceAndTheFirstGoesOn) {
  WriteConfig(Folder(), kBatch);
  PrepareRun(Folder(), RunKind::Clean);
  QProcess& first = Start(Folder());
  ASSERT_TRUE(StartUpRunDone(Folder()));

  QProcess& second = Start(Folder());
  EXPECT_EQ(EndedBy(second, kWaitMs), 0);
  const std::string log = testing::ReadFile(LogFileOf(Folder()));
  EXPECT_EQ(log.find("TRK TQRead v1.24"), log.rfind("TRK TQRead v1.24")) << "the second one did not run";
  EXPECT_EQ(first.state(), QProcess::Running);

  if (!BusAvailable()) GTEST_SKIP() << "no session bus: the first one's next run is not asked for";
  testing::WriteTransactionDay(Folder(), 0);
  SendSignalFromOutside(TQREAD_TRIGGER_DATA_DEPOT);
  ASSERT_TRUE(Eventually([&] { return !testing::ReadFile(Folder() + "DELREAD.DAT").empty(); }));
  ASSERT_TRUE(RunLockFree());
  EXPECT_EQ(testing::RecordCount(Folder(), FileIndex::CompTran), 0u);
  EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(ProcessTest, ExitRuleForEachCommunicationMethod) {
  struct Case {
    const char* name;
    uint8_t method;
    bool folderOnCommandLine;
    RunKind run;
    bool withBus;
    std::optional<int> exitStatus;  // nothing: the program stays
  };
  const Case cases[] = {
      {"Manual, clean run, no session bus", kManual, false, RunKind::Clean, false, 0},
      {"Manual, run with errors", kManual, false, RunKind::ErrorSeen, true, std::nullopt},
      {"Batch, clean run", kBatch, false, RunKind::Clean, true, std::nullopt},
      {"Batch, folder, clean run", kBatch, true, RunKind::Clean, true, 0},
      {"Real-Time, clean run", kRealTime, false, RunKind::Clean, true, std::nullopt},
      {"Real-Time, folder, failed conversion", kRealTime, true, RunKind::ConversionFailed, true, 1},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string programFolder = Folder() + "case" + std::to_string(++number) + "/";
    const std::string databaseFolder = c.folderOnCommandLine ? programFolder + "truck/" : programFolder;
    std::filesystem::create_directories(databaseFolder);
    WriteConfig(databaseFolder, c.method);
    PrepareRun(databaseFolder, c.run);
    QStringList arguments;
    if (c.folderOnCommandLine) {
      arguments = {QString::fromStdString(programFolder + "OUT.DAT"), QString::fromStdString(databaseFolder)};
    }
    QProcessEnvironment environment = Offscreen();
    if (!c.withBus) {
      environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + programFolder + "nobus"));
    }
    QProcess& program = Start(programFolder, arguments, environment);
    ASSERT_TRUE(StartUpRunDone(programFolder));
    EXPECT_EQ(EndedBy(program, c.exitStatus ? kWaitMs : 1500), c.exitStatus);
    program.kill();
    program.waitForFinished(kWaitMs);
  }
}

// A scheduled start: no display at all, a destination and a folder on the
// command line, Real-Time; it converts and ends by itself, with status 1
// because a sale still waits for its summary.
TEST_F(ProcessTest, RealTimeCommandLineRunConvertsAndEndsWithoutAnyDisplay) {
  const std::string truck = Folder() + "truck/";
  std::filesystem::create_directories(truck);
  WriteConfig(truck, kRealTime);
  testing::WriteTransactionDay(truck, 1);
  const std::string expected = testing::DeliveryFileOfDay(Folder() + "twin/", kRealTime, 1);

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
  const std::string destination = Folder() + "DELREAD.OUT";
  QProcess& program =
      Start(Folder(), {QString::fromStdString(destination), QString::fromStdString(truck)}, environment);
  EXPECT_EQ(EndedBy(program, kWaitMs), 1);
  EXPECT_EQ(testing::ReadFile(destination), expected);
  EXPECT_EQ(testing::RecordCount(truck, FileIndex::CompTran), 0u);
  EXPECT_GT(testing::RecordCount(truck, FileIndex::CompTemp), 0u);
  EXPECT_NE(testing::ReadFile(LogFileOf(Folder())).find(kRunComplete), std::string::npos);
}

}  // namespace
}  // namespace trk::tqread::app

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
