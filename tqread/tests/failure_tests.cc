// A write that fails in the middle of a run loses no completed transaction and
// writes none twice: through a writer that fails on the k-th write or flush, on a
// device that is always full, and when the records cannot be deleted.
#include <algorithm>
#include <functional>

#include "tqread/tests/fixture.h"

namespace trk::tqread::testing {
namespace {

// Counts the writes and flushes of a run and fails the chosen one. A failing
// write puts half of its bytes into the file first, as a full disk does.
struct Faults {
  int failWriteAt = 0;
  int failFlushAt = 0;
  int writes = 0;
  int flushes = 0;
  std::function<void()> onFirstWrite;
};

class FaultyFile final : public DeliveryFile {
 public:
  FaultyFile(std::unique_ptr<DeliveryFile> file, Faults& faults) : file_(std::move(file)), faults_(faults) {}
  bool Write(std::string_view bytes) override {
    if (++faults_.writes == 1 && faults_.onFirstWrite) faults_.onFirstWrite();
    if (faults_.writes != faults_.failWriteAt) return file_->Write(bytes);
    file_->Write(bytes.substr(0, bytes.size() / 2));
    return false;
  }
  bool Flush() override { return ++faults_.flushes != faults_.failFlushAt && file_->Flush(); }
  uint64_t Size() const override { return file_->Size(); }
  bool Truncate(uint64_t length) override { return file_->Truncate(length); }

 private:
  std::unique_ptr<DeliveryFile> file_;
  Faults& faults_;
};

DeliveryFileOpener Faulty(Faults& faults) {
  return [&faults](const std::string& path, bool append) -> std::unique_ptr<DeliveryFile> {
    auto file = OpenDeliveryFile(path, append);
    if (!file) return nullptr;
    return std::make_unique<FaultyFile>(std::move(file), faults);
  };
}

class WriteFailureTest : public TQReadTest {
 protected:
  // A day of every kind of group, one sale still waiting for its summary.
  void AddDay() {
    schema::Catalogue catalogue(Folder());
    for (FileIndex index : {FileIndex::CompTran, FileIndex::CompTemp}) catalogue.DeleteCatalogueFile(index);
    std::filesystem::remove(OutputPath());
    CompletedTransaction charges = Summary("C300", "S3", "09:00:00");
    SetCharge(charges, 0, "DEL", 1, 20, "", 0, 20);
    SetCharge(charges, 2, "HAZ", 1, 5, "", 0, 5);
    AddTransactions({Tank("A100", "S1", "08:00:00"), Tank("A100", "S1", "08:05:00"), Summary("A100", "S1"),
                     Payment("A100", "S1"), Payment("B200", "S2", "08:30:00"), charges,
                     Payment("C300", "S3", "09:01:00"), Event(2), Tank("D400", "S4", "10:00:00"),
                     Summary("D400", "S4", "10:10:00"), Tank("E500", "S5", "11:00:00")});
  }
  static std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  // The lines of a run without faults, and the number of writes it makes.
  std::vector<std::string> CleanLines(int* writes) {
    AddDay();
    Faults counter;
    Run(Variant::Standalone, Faulty(counter));
    *writes = counter.writes;
    return Sorted(OutputLines());
  }
  // After the faulty run and a clean one, every line is there exactly once and
  // only the waiting sale is parked.
  void ExpectNothingLostOrDoubled(const std::vector<std::string>& clean, const std::string& context) {
    const RunResult second = Run();
    EXPECT_TRUE(second.outcome.conversionOk) << context;
    EXPECT_EQ(Sorted(OutputLines()), clean) << context;
    EXPECT_EQ(RecordCount(FileIndex::CompTran), 0u) << context;
    const std::vector<CompletedTransaction> parked = Records(FileIndex::CompTemp);
    ASSERT_EQ(parked.size(), 1u) << context;
    EXPECT_EQ(schema::TextOf(parked[0].tank.accessNumber), "E500") << context;
  }
};

TEST_F(WriteFailureTest, FailedWriteOrFlushLeavesTheGroupForTheNextRun) {
  int writes = 0;
  const std::vector<std::string> clean = CleanLines(&writes);
  ASSERT_EQ(clean.size(), 6u);
  // One write per group with text: the group's last record number and its lines.
  struct Group {
    int recordNumber;
    size_t lines;
  };
  const Group groups[] = {{4, 2}, {5, 1}, {7, 2}, {10, 1}};
  ASSERT_EQ(writes, 4);
  for (int k = 1; k <= writes; ++k) {
    for (const bool failFlush : {false, true}) {
      const std::string context = (failFlush ? "flush " : "write ") + std::to_string(k);
      AddDay();
      Faults faults;
      (failFlush ? faults.failFlushAt : faults.failWriteAt) = k;
      const RunResult first = Run(Variant::Standalone, Faulty(faults));
      EXPECT_FALSE(first.outcome.conversionOk) << context;
      const std::string number = std::to_string(groups[k - 1].recordNumber);
      EXPECT_TRUE(first.Logged(failFlush ? "Could not flush buffer to file for record #" + number + "."
                                         : "Could not write record information to text file for record #" +
                                               number + "."))
          << context;
      EXPECT_EQ(OutputLines().size() + groups[k - 1].lines, clean.size()) << context;
      ExpectNothingLostOrDoubled(clean, context);
    }
  }
}

TEST_F(WriteFailureTest, FullDeviceConvertsNothingAndLosesNothing) {
  int writes = 0;
  const std::vector<std::string> clean = CleanLines(&writes);
  AddDay();
  const RunResult first = Run(Variant::Standalone, [](const std::string&, bool append) {
    return OpenDeliveryFile("/dev/full", append);
  });
  EXPECT_FALSE(first.outcome.conversionOk);
  EXPECT_EQ(Records(FileIndex::CompTemp).size(), 10u);  // all but the event record, which has no text
  ExpectNothingLostOrDoubled(clean, "full device");
}

TEST_F(WriteFailureTest, RecordsThatCannotBeDeletedTakeTheirTextBack) {
  int writes = 0;
  const std::vector<std::string> clean = CleanLines(&writes);
  AddDay();
  // A folder where the engine's journal must go makes every delete fail.
  const std::filesystem::path journal = Folder() + "CompTran.okt";
  Faults faults;
  faults.onFirstWrite = [&journal] {
    std::filesystem::create_directory(journal);
    std::ofstream(journal / "blocker") << "x";
  };
  const RunResult first = Run(Variant::Standalone, Faulty(faults));
  EXPECT_TRUE(first.outcome.errorSeen);
  EXPECT_FALSE(first.outcome.conversionOk);
  EXPECT_EQ(Output(), "");
  const auto deleteFailed = [](const std::string& message) { return message.starts_with("OKVDeleteRec Error"); };
  EXPECT_EQ(std::count_if(first.messages.begin(), first.messages.end(), deleteFailed), 5);  // one per group
  std::filesystem::remove_all(journal);
  ExpectNothingLostOrDoubled(clean, "undeletable records");
}

}  // namespace
}  // namespace trk::tqread::testing
