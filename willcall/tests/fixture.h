// Test doubles for the will-call logic: a clock that moves only when asked, a
// screen that records what it was shown, settings in memory, and a folder with
// the distribution program's node and application lists.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "schema/catalogue.h"
#include "schema/tests/temp_folder.h"
#include "schema/willcall.h"
#include "willcall/environment.h"

namespace trk::willcall::testing {

// Starts at 25/06/01 08:00:00; only WaitForNextSecond moves it on.
class FakeClock final : public Clock {
 public:
  std::string LocalTimestamp() override;
  void WaitForNextSecond() override { ++seconds_, ++waits_; }
  int waits() const { return waits_; }
  static std::string TimestampAt(int seconds);

 private:
  int seconds_ = 0;
  int waits_ = 0;
};

class MemorySettings final : public SettingsStore {
 public:
  bool Accessible() override { return accessible; }
  std::optional<std::string> Read(std::string_view name) override;
  bool Write(std::string_view name, std::string_view value) override;

  bool accessible = true;
  bool writable = true;
  std::map<std::string, std::string, std::less<>> values;
};

class FakeScreen final : public Screen {
 public:
  void AddLogLine(const std::string& line) override;
  void ShowProgress(uint32_t maximum) override { progress.push_back("show " + std::to_string(maximum)); }
  void StepProgress() override { ++steps; }
  void HideProgress() override { progress.push_back("hide"); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<schema::NodeRecord> ChooseTargetNode(uint16_t nodeListHandle) override;

  bool LogHas(std::string_view text) const;

  std::vector<std::string> log;  // the texts, without their timestamps
  std::vector<std::string> messages;
  std::vector<std::string> progress;
  uint32_t steps = 0;
  std::optional<size_t> chosenRow = 0;  // nothing: the dialog is cancelled
};

// A will-call line of 19 quoted fields with CR LF; `fields` replaces fields
// from 2 on by number.
std::string WillCallLine(const std::map<int, std::string>& fields, int fieldCount = 19);

schema::WillCallRecord ReadRecordOf(const std::string& folder, std::string_view accessNumber, int nth = 0);
// Every record of a will-call file in key order of key 0.
std::vector<schema::WillCallRecord> AllRecords(const std::string& folder);
void WriteWillCallFile(const std::string& folder, const std::vector<schema::WillCallRecord>& records);
schema::WillCallRecord RecordFor(std::string_view accessNumber, std::string_view timestamp);

// A temporary folder (also TRK_FOLDER and TRK_LOCK_DIR) holding a DataDepot
// folder "ddp/" with two nodes and two applications, a current folder "work",
// a will-call text file "willcall.txt" and settings that point at them.
class WillCallTest : public ::testing::Test {
 protected:
  WillCallTest();

  void WriteSource(const std::string& text) const;
  std::string DataDepotFolder() const { return temp.Folder() + "ddp/"; }
  std::string WorkFolder() const { return temp.Folder() + "work"; }
  std::string SourcePath() const { return temp.Folder() + "willcall.txt"; }

  static constexpr char kTruck1[] = "TRUCK1";  // address 7
  static constexpr char kTruck2[] = "truck2";  // address 12

  trk::testing::TempFolder temp;
  FakeClock clock;
  FakeScreen screen;
  MemorySettings settings;
};

}  // namespace trk::willcall::testing
