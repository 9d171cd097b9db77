// TRKWillCall's windows offscreen: the automatic start with a node name, the log
// list, the target-node dialog, the about box, the stored paths, and the
// program itself started with a node name.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <unistd.h>

#include <filesystem>

#include "willcall/app/about_dialog.h"
#include "willcall/app/main_dialog.h"
#include "willcall/app/qt_settings.h"
#include "willcall/app/target_node_dialog.h"
#include "willcall/tests/fixture.h"

namespace trk::willcall {
namespace {

using schema::FileIndex;
using testing::WillCallLine;

QStringList LogTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text().mid(19);  // without the timestamp
  return texts;
}

// The paths live in QSettings under the test's own folder; the current folder
// is the test's "work" folder.
class ProgramTest : public testing::WillCallTest {
 protected:
  ProgramTest() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(ConfigFolder()));
    for (const auto& [name, value] : settings.values) qtSettings.Write(name, value);
    WriteSource(WillCallLine({{2, "A1"}, {4, "Ann"}}) + WillCallLine({{2, "B2"}, {4, "Bob"}}));
    previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(WorkFolder());
  }
  ~ProgramTest() override { std::filesystem::current_path(previousFolder); }

  std::string ConfigFolder() const { return temp.Folder() + "config"; }

  QtSettingsStore qtSettings;
  SystemClock systemClock;
  std::filesystem::path previousFolder;
};

TEST_F(ProgramTest, NodeNameConvertsAndCloses) {
  MainDialog dialog(qtSettings, systemClock);
  dialog.show();
  dialog.StartWithNode(QStringLiteral("TRUCK1"));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.progressBar()->isVisible());
  EXPECT_EQ(testing::AllRecords(WorkFolder() + "/007/").size(), 2u);
}

TEST_F(ProgramTest, UnknownNodeNameStaysOpenWithTheEngineLine) {
  MainDialog dialog(qtSettings, systemClock);
  dialog.show();
  dialog.StartWithNode(QStringLiteral("NOSUCH"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(LogTexts(dialog.logList()), QStringList{"OKVReadRecEQ Error 10 on DDPNode.okv: Record not found."});
  dialog.close();
}

TEST_F(ProgramTest, LogListKeepsTheNewestLinesInView) {
  MainDialog dialog(qtSettings, systemClock);
  dialog.show();
  for (int i = 0; i < 150; ++i) dialog.AddLogLine(testing::FakeClock::TimestampAt(0) + ": line " + std::to_string(i));
  QListWidget* list = dialog.logList();
  ASSERT_EQ(list->count(), MainDialog::kMaxLogLines);
  EXPECT_EQ(LogTexts(list).front(), "line 50");
  EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());

  // Reading older lines: a new line does not pull the list away from them.
  list->verticalScrollBar()->setValue(0);
  dialog.AddLogLine(testing::FakeClock::TimestampAt(0) + ": line 150");
  EXPECT_EQ(list->verticalScrollBar()->value(), 0);
}

TEST_F(ProgramTest, TargetNodeDialogOffersTheNodesWithTheFirstSelected) {
  schema::Catalogue dataDepot(DataDepotFolder());
  ASSERT_EQ(dataDepot.OpenCatalogueFile(FileIndex::DDPNode), OKV_SUCCESS);
  TargetNodeDialog dialog(dataDepot.Handle(FileIndex::DDPNode), nullptr);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Select the Target TQP Node");
  QTableWidget* table = dialog.table();
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "Node Name");
  EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Address");
  EXPECT_EQ(table->item(1, 0)->text(), "truck2");
  EXPECT_EQ(table->item(1, 1)->text(), "12");
  EXPECT_TRUE(table->item(0, 0)->isSelected());
  EXPECT_TRUE(dialog.okButton()->isEnabled());

  table->clearSelection();
  EXPECT_FALSE(dialog.okButton()->isEnabled());
  table->selectRow(1);
  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_TRUE(dialog.node());
  EXPECT_EQ(dialog.node()->nodeAddress, 12);
}

TEST_F(ProgramTest, TargetNodeDialogWithoutNodesCannotBeConfirmed) {
  const std::string empty = temp.Folder() + "empty/";
  std::filesystem::create_directories(empty);
  schema::Catalogue dataDepot(empty);
  ASSERT_EQ(dataDepot.OpenOrCreateCatalogueFile(FileIndex::DDPNode), OKV_SUCCESS);
  TargetNodeDialog dialog(dataDepot.Handle(FileIndex::DDPNode), nullptr);
  EXPECT_EQ(dialog.table()->rowCount(), 0);
  EXPECT_FALSE(dialog.okButton()->isEnabled());
}

TEST_F(ProgramTest, AboutBoxShowsBothVersionTexts) {
  AboutDialog about(nullptr);
  EXPECT_EQ(about.windowTitle(), "About TRKWillCall");
  QStringList versions;
  for (const QLineEdit* field : about.findChildren<QLineEdit*>()) {
    EXPECT_TRUE(field->isReadOnly());
    versions << field->text();
  }
  EXPECT_EQ(versions, (QStringList{"v1.09", "v1.10"}));
}

TEST_F(ProgramTest, StoredPathsRoundTrip) {
  EXPECT_TRUE(qtSettings.Accessible());
  EXPECT_EQ(qtSettings.Read(kPathDataDepotSetting), DataDepotFolder());
  EXPECT_FALSE(qtSettings.Read("Missing"));
  EXPECT_TRUE(qtSettings.Write(kPathSourceSetting, "/data/wc.txt"));
  EXPECT_EQ(QtSettingsStore().Read(kPathSourceSetting), "/data/wc.txt");
}

// The real program: "TRKWillCall TRUCK1" converts and ends by itself.
TEST_F(ProgramTest, ProgramWithNodeNameConvertsAndEnds) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", QString::fromStdString(ConfigFolder()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(environment);
  program.setWorkingDirectory(QString::fromStdString(WorkFolder()));
  program.start(TRKWILLCALL_PATH, {"TRUCK1"});
  ASSERT_TRUE(program.waitForFinished(60000)) << "the program did not end by itself";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  EXPECT_EQ(testing::AllRecords(WorkFolder() + "/007/").size(), 2u);
}

}  // namespace
}  // namespace trk::willcall

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
