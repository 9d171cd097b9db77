// The dialogs' controllers: Convert and Clean end to end against the engine,
// the automatic start, the target-node list, the setup and the texts.
#include "willcall/main_controller.h"

#include <filesystem>

#include "willcall/messages.h"
#include "willcall/setup_controller.h"
#include "willcall/target_node.h"
#include "willcall/tests/fixture.h"

namespace trk::willcall {
namespace {

using schema::FileIndex;
using schema::TextOf;
using testing::AllRecords;
using testing::WillCallLine;

class ControllerTest : public testing::WillCallTest {
 protected:
  ControllerTest() { WriteSource(WillCallLine({{2, "A1"}, {4, "Ann"}}) + WillCallLine({{2, "B2"}, {4, "Bob"}})); }

  MainController controller{screen, settings, clock, [this] { return currentFolder; }};
  std::optional<std::string> currentFolder = WorkFolder();
};

TEST_F(ControllerTest, ConvertWritesTheChosenNodesMaster) {
  screen.chosenRow = 1;  // truck2, address 12
  controller.Convert();
  const auto records = AllRecords(WorkFolder() + "/012/");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(TextOf(records[1].customerName), "Bob");
  EXPECT_EQ(screen.log, (std::vector<std::string>{"Source text file: " + SourcePath()}));
  EXPECT_FALSE(std::filesystem::exists(WorkFolder() + "/007"));
}

TEST_F(ControllerTest, CancelledNodeChoiceConvertsNothing) {
  screen.chosenRow.reset();
  controller.Convert();
  EXPECT_TRUE(screen.log.empty());
  EXPECT_EQ(std::filesystem::directory_iterator(WorkFolder()), std::filesystem::directory_iterator());
}

TEST_F(ControllerTest, StartWithNodeClosesOnlyAfterACleanRun) {
  struct Case {
    const char* argument;
    bool closes;
    std::vector<std::string> log;
    size_t records;
  };
  const std::string source = "Source text file: " + SourcePath();
  const std::string notFound = "OKVReadRecEQ Error 10 on DDPNode.okv: Record not found.";
  const Case cases[] = {
      {"truck1", true, {source}, 2},  // node names match without regard to case
      {"TRUCK1 and more words", true, {source}, 2},
      {"NOSUCH", false, {notFound}, 0},
      {"TRUCK1XY", false, {notFound}, 0},  // longer than a node name: not cut to "TRUCK1XY"'s first 8
      {"", false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    std::filesystem::remove_all(WorkFolder() + "/007");
    screen.log.clear();
    MainController fresh(screen, settings, clock, [this] { return currentFolder; });
    EXPECT_EQ(fresh.StartWithNode(c.argument), c.closes);
    EXPECT_EQ(screen.log, c.log);
    EXPECT_EQ(AllRecords(WorkFolder() + "/007/").size(), c.records);
  }
}

TEST_F(ControllerTest, EveryFailureKeepsAnAutomaticRunOpen) {
  struct Case {
    const char* name;
    std::function<void()> spoil;
    std::string lastLine;
  };
  const Case cases[] = {
      {"settings out of reach", [&] { settings.accessible = false; }, "Failed to access path information."},
      {"no DataDepot path", [&] { settings.values.erase(kPathDataDepotSetting); },
       "Failed to read path to DDPNode.okv."},
      {"DataDepot path too long", [&] { settings.values[kPathDataDepotSetting] = std::string(260, 'd'); },
       "Failed to read path to DDPNode.okv."},
      {"no node list", [&] { settings.values[kPathDataDepotSetting] = WorkFolder(); },
       "OKVOpenFile Error 9 on DDPNode.okv: File not found."},
      {"no source path", [&] { settings.values.erase(kPathSourceSetting); }, "Failed to read path to source text file."},
      {"no current folder", [&] { currentFolder.reset(); }, "Could not obtain current directory."},
      {"a faulty line", [&] { WriteSource(WillCallLine({{2, "A1"}}, 5)); },
       "Line 1 has too few fields; no will call record was written."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemorySettings saved = settings;
    c.spoil();
    screen.log.clear();
    MainController fresh(screen, settings, clock, [this] { return currentFolder; });
    EXPECT_FALSE(fresh.StartWithNode(kTruck1));
    ASSERT_FALSE(screen.log.empty());
    EXPECT_EQ(screen.log.back(), c.lastLine);
    settings = saved;
    currentFolder = WorkFolder();
  }
}

// Convert, let the truck take over the file, then Clean: the master empties.
TEST_F(ControllerTest, CleanAfterConvertEmptiesTheMaster) {
  ASSERT_TRUE(controller.StartWithNode(kTruck1));
  const std::string master = WorkFolder() + "/007/";
  const std::string copy = DataDepotFolder() + kTruck1 + "/Fuel/";
  std::filesystem::create_directories(copy);
  std::filesystem::copy_file(master + "WillCall.zdb", copy + "WillCall.zdb");
  screen.log.clear();

  screen.chosenRow = 0;
  controller.Clean();
  EXPECT_EQ(screen.messages,
            (std::vector<std::string>{"Please ensure that DataDepot is not currently performing a file comparison."}));
  EXPECT_TRUE(screen.log.empty());
  EXPECT_TRUE(AllRecords(master).empty());
  EXPECT_TRUE(AllRecords(copy).empty());
}

TEST_F(ControllerTest, CleanWithoutDataDepotPathStopsBeforeTheWarning) {
  settings.values.erase(kPathDataDepotSetting);
  controller.Clean();
  EXPECT_TRUE(screen.messages.empty());
  EXPECT_EQ(screen.log, (std::vector<std::string>{"Failed to read path to DDPNode.okv."}));
}

TEST_F(ControllerTest, TargetNodeRowsFollowTheNodeList) {
  schema::Catalogue dataDepot(DataDepotFolder());
  ASSERT_EQ(dataDepot.OpenCatalogueFile(FileIndex::DDPNode), OKV_SUCCESS);
  std::vector<std::string> shown;
  TargetNodeController dialog(dataDepot.Handle(FileIndex::DDPNode),
                              [&](const std::string& text) { shown.push_back(text); });
  ASSERT_EQ(dialog.rows().size(), 2u);
  EXPECT_EQ(dialog.rows()[0].name, kTruck1);
  EXPECT_EQ(dialog.rows()[0].address, 7u);
  EXPECT_EQ(dialog.rows()[1].name, kTruck2);
  EXPECT_EQ(dialog.InitialSelection(), std::optional<size_t>(0));
  EXPECT_FALSE(dialog.CanAccept(std::nullopt));
  EXPECT_FALSE(dialog.CanAccept(2));
  const auto node = dialog.Accept(1);
  ASSERT_TRUE(node);
  EXPECT_EQ(TextOf(node->nodeName), kTruck2);
  EXPECT_EQ(node->nodeAddress, 12);
  EXPECT_TRUE(shown.empty());
}

TEST_F(ControllerTest, TargetNodeDialogWithoutNodesCannotAccept) {
  const std::string empty = temp.Folder() + "empty/";
  std::filesystem::create_directories(empty);
  schema::Catalogue dataDepot(empty);
  ASSERT_EQ(dataDepot.OpenOrCreateCatalogueFile(FileIndex::DDPNode), OKV_SUCCESS);
  std::vector<std::string> shown;
  TargetNodeController dialog(dataDepot.Handle(FileIndex::DDPNode),
                              [&](const std::string& text) { shown.push_back(text); });
  EXPECT_TRUE(dialog.rows().empty());
  EXPECT_FALSE(dialog.InitialSelection());
  EXPECT_FALSE(dialog.CanAccept(dialog.InitialSelection()));
  EXPECT_TRUE(shown.empty()) << "an empty list is no read failure";

  TargetNodeController closed(dataDepot.Handle(FileIndex::DDPNode) + 100,
                              [&](const std::string& text) { shown.push_back(text); });
  EXPECT_EQ(shown, (std::vector<std::string>{"OKVReadRecLO Error 1 on DDPNode.okv: Parameter error."}));
}

TEST(SetupController, WritesBothPathsOnlyAfterABrowse) {
  testing::MemorySettings settings;
  settings.values[kPathSourceSetting] = "/data/wc.txt";
  {
    SetupController setup(settings);
    EXPECT_EQ(setup.sourcePath(), "/data/wc.txt");
    EXPECT_EQ(setup.dataDepotFolder(), "");
    settings.values.clear();
    EXPECT_TRUE(setup.Accept().empty());
    EXPECT_TRUE(settings.values.empty()) << "nothing chosen, nothing written";
  }
  SetupController setup(settings);
  setup.DataDepotProgramChosen("/opt/ddp/DataDepot.exe");
  EXPECT_EQ(setup.dataDepotFolder(), "/opt/ddp/");
  EXPECT_TRUE(setup.Accept().empty());
  EXPECT_EQ(settings.values[kPathDataDepotSetting], "/opt/ddp/");
  EXPECT_EQ(settings.values[kPathSourceSetting], "");

  setup.SourceFileChosen("/data/new.txt");
  settings.writable = false;
  EXPECT_EQ(setup.Accept(), (std::vector<std::string>{"Cannot write source path to registry",
                                                      "Cannot write DataDepot path to registry"}));
}

TEST(Messages, FormatsOnlyWhatItWasGiven) {
  EXPECT_EQ(FormatMessage(Msg::FieldFailed, {"abc", 3u, 19, uint8_t{101}}),
            "Field contents: abc, line 3, field 19, rc = 101.");
  EXPECT_EQ(FormatMessage(Msg::FieldFailed), "Field contents: , line , field , rc = .");
  EXPECT_EQ(FormatMessage(Msg::SourceOpenFailed, {"a %s b"}), "Could not open a %s b. File conversion aborted");
  EXPECT_EQ(EngineErrorLine(15, OKV_OP_CREATE_REC, FileIndex::WillCall),
            "OKVCreateRec Error 15 on WillCall.zdb: Dupliate key value.");
  EXPECT_EQ(EngineErrorLine(200, OKV_OP_OPEN_FILE, FileIndex::DDPNode), "OKVOpenFile Error 200 on DDPNode.okv");
  EXPECT_EQ(FirstWord("NODE1 rest"), "NODE1");
}

}  // namespace
}  // namespace trk::willcall
