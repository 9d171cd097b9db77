// Cleaning a node's master against the distribution program's node copy and
// edit copy.
#include "willcall/cleaning.h"

#include <filesystem>
#include <fstream>

#include "willcall/tests/fixture.h"

namespace trk::willcall {
namespace {

using schema::FileIndex;
using schema::TextOf;
using schema::WillCallRecord;
using testing::AllRecords;
using testing::RecordFor;
using testing::WriteWillCallFile;

std::vector<std::string> AccessNumbers(const std::vector<WillCallRecord>& records) {
  std::vector<std::string> numbers;
  for (const WillCallRecord& record : records) numbers.emplace_back(TextOf(record.accessNumber));
  return numbers;
}

using Numbers = std::vector<std::string>;

class CleaningTest : public testing::WillCallTest {
 protected:
  CleaningTest() {
    schema::SetText(node.nodeName, kTruck1);
    node.nodeAddress = 7;
  }

  uint32_t Clean(std::optional<std::string> currentFolder) {
    schema::Catalogue dataDepot(DataDepotFolder());
    EXPECT_EQ(dataDepot.OpenCatalogueFile(FileIndex::DDPAppl), OKV_SUCCESS);
    return RemoveTakenOverRecords(reporter, DataDepotFolder(), dataDepot.Handle(FileIndex::DDPAppl), node,
                                  currentFolder);
  }
  uint32_t Clean() { return Clean(WorkFolder()); }

  std::string Master() const { return WorkFolder() + "/007/"; }
  std::string Copy() const { return DataDepotFolder() + kTruck1 + "/Fuel/"; }
  std::string Edit() const { return DataDepotFolder() + kTruck1 + "/EDT/Fuel/"; }

  const WillCallRecord a = RecordFor("A", "25/06/01 08:00:00");
  const WillCallRecord b = RecordFor("B", "25/06/01 08:00:01");
  const WillCallRecord c = RecordFor("C", "25/06/01 08:00:02");
  // Same access number as `a`, another second: another will-call.
  const WillCallRecord aLater = RecordFor("A", "25/06/01 09:00:00");
  schema::NodeRecord node{};
  Reporter reporter{screen, clock};
};

TEST_F(CleaningTest, RemovesWhatTheCopyHasAndTheEditCopyLacks) {
  WriteWillCallFile(Master(), {a, b, c, aLater});
  WriteWillCallFile(Copy(), {a, b});
  WriteWillCallFile(Edit(), {b});
  EXPECT_EQ(Clean(), 1u);
  EXPECT_EQ(AccessNumbers(AllRecords(Master())), (Numbers{"B", "C", "A"}));
  EXPECT_EQ(AccessNumbers(AllRecords(Copy())), (Numbers{"B"}));
  EXPECT_EQ(AccessNumbers(AllRecords(Edit())), (Numbers{"B"}));
  EXPECT_TRUE(screen.log.empty());
}

TEST_F(CleaningTest, WithoutEditCopyEverythingTheCopyHoldsGoes) {
  WriteWillCallFile(Master(), {a, b, c});
  WriteWillCallFile(Copy(), {a, b, aLater});
  EXPECT_EQ(Clean(), 2u);
  EXPECT_EQ(AccessNumbers(AllRecords(Master())), (Numbers{"C"}));
  EXPECT_EQ(AccessNumbers(AllRecords(Copy())), (Numbers{"A"}));
}

TEST_F(CleaningTest, MasterKeptUnderTheNodeNameIsCleanedWhenNoneUnderTheAddress) {
  const std::string named = WorkFolder() + "/" + kTruck1 + "/";
  WriteWillCallFile(named, {a, b});
  WriteWillCallFile(Copy(), {a});
  EXPECT_EQ(Clean(), 1u);
  EXPECT_EQ(AccessNumbers(AllRecords(named)), (Numbers{"B"}));
}

// Application names are folder names, never paths: ".." would put the copy at
// the DataDepot folder itself.
TEST_F(CleaningTest, ApplicationNamesThatAreNoFolderNamesAreSkipped) {
  schema::Catalogue dataDepot(DataDepotFolder());
  schema::ApplicationRecord application{};
  schema::SetText(application.applicationName, "..");
  ASSERT_EQ(dataDepot.AddCatalogueRecord(FileIndex::DDPAppl, &application), OKV_SUCCESS);
  ASSERT_EQ(dataDepot.CloseCatalogueFile(FileIndex::DDPAppl), OKV_SUCCESS);
  WriteWillCallFile(DataDepotFolder(), {a, b});
  WriteWillCallFile(Master(), {a, b});
  WriteWillCallFile(Copy(), {b});
  EXPECT_EQ(Clean(), 1u);
  EXPECT_EQ(AccessNumbers(AllRecords(Master())), (Numbers{"A"}));
  EXPECT_EQ(AllRecords(DataDepotFolder()).size(), 2u);
}

TEST_F(CleaningTest, FailuresStopWithTheirMessage) {
  auto junk = [](const std::string& folder) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "WillCall.zdb") << "not an OKV file";
  };
  struct Case {
    const char* name;
    std::function<void()> prepare;
    std::optional<std::string> currentFolder;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"no master", [] {}, WorkFolder(), {"Error opening master file, rc = 9"}},
      {"no current folder", [] {}, std::nullopt, {"Could not obtain current directory."}},
      {"empty master",
       [&] {
         WriteWillCallFile(Master(), {});
         WriteWillCallFile(Copy(), {a});
       },
       WorkFolder(),
       {"OKVReadRecLO Error 10 on WillCall.zdb: Record not found."}},
      {"broken copy of the first application",
       [&] {
         WriteWillCallFile(Master(), {a});
         WriteWillCallFile(Copy(), {a});
         junk(DataDepotFolder() + kTruck1 + "/Alpha/");
       },
       WorkFolder(), {"Error opening copy file, rc = 20"}},
      {"broken edit copy",
       [&] {
         WriteWillCallFile(Master(), {a});
         WriteWillCallFile(Copy(), {a});
         junk(Edit());
       },
       WorkFolder(), {"Error opening edit file, rc = 20"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(WorkFolder() + "/007");
    std::filesystem::remove_all(DataDepotFolder() + kTruck1);
    screen.log.clear();
    c.prepare();
    EXPECT_EQ(Clean(c.currentFolder), 0u);
    EXPECT_EQ(screen.log, c.log);
  }
  EXPECT_EQ(AllRecords(Master()).size(), 1u) << "a broken edit copy keeps every record";
}

}  // namespace
}  // namespace trk::willcall
