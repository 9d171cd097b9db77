#include "willcall/tests/fixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "schema/records.h"
#include "willcall/target_node.h"

namespace trk::willcall::testing {

using schema::Catalogue;
using schema::FileIndex;
using schema::WillCallRecord;

std::string FakeClock::TimestampAt(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "25/06/01 %02d:%02d:%02d", 8 + seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::string FakeClock::LocalTimestamp() { return TimestampAt(seconds_); }

std::optional<std::string> MemorySettings::Read(std::string_view name) {
  const auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

bool MemorySettings::Write(std::string_view name, std::string_view value) {
  if (!writable) return false;
  values[std::string(name)] = std::string(value);
  return true;
}

void FakeScreen::AddLogLine(const std::string& line) {
  // "yy/mm/dd hh:mm:ss: text"
  ASSERT_GE(line.size(), 19u) << line;
  EXPECT_EQ(line.substr(17, 2), ": ") << line;
  log.push_back(line.substr(19));
}

std::optional<schema::NodeRecord> FakeScreen::ChooseTargetNode(uint16_t nodeListHandle) {
  TargetNodeController dialog(nodeListHandle, [this](const std::string& text) { ShowMessage(text); });
  if (!chosenRow) return std::nullopt;
  return dialog.Accept(*chosenRow);
}

bool FakeScreen::LogHas(std::string_view text) const {
  for (const std::string& line : log) {
    if (line == text) return true;
  }
  return false;
}

std::string WillCallLine(const std::map<int, std::string>& fields, int fieldCount) {
  std::string line;
  for (int i = 1; i <= fieldCount; ++i) {
    std::string text = i == 1 ? "WC" : "";
    if (const auto found = fields.find(i); found != fields.end()) text = found->second;
    line += (i > 1 ? ",\"" : "\"") + text + "\"";
  }
  return line + "\r\n";
}

namespace {

void ExpectOk(uint8_t result, const char* what) { ASSERT_EQ(result, OKV_SUCCESS) << what; }

}  // namespace

std::vector<WillCallRecord> AllRecords(const std::string& folder) {
  std::vector<WillCallRecord> records;
  Catalogue catalogue(folder);
  if (catalogue.OpenCatalogueFile(FileIndex::WillCall) != OKV_SUCCESS) return records;
  const uint16_t handle = catalogue.Handle(FileIndex::WillCall);
  WillCallRecord record{};
  for (uint8_t result = OKVReadRecLO(handle, 0, &record); result == OKV_SUCCESS;
       result = OKVReadRecNX(handle, 0, &record)) {
    records.push_back(record);
  }
  return records;
}

WillCallRecord ReadRecordOf(const std::string& folder, std::string_view accessNumber, int nth) {
  WillCallRecord record{};
  Catalogue catalogue(folder);
  EXPECT_EQ(catalogue.OpenCatalogueFile(FileIndex::WillCall), OKV_SUCCESS) << folder;
  const uint16_t handle = catalogue.Handle(FileIndex::WillCall);
  char key[13] = {};
  schema::SetText(key, accessNumber);
  uint8_t result = OKVReadRecEQ(handle, 1, key, &record);
  for (int i = 0; i < nth && result == OKV_SUCCESS; ++i) result = OKVReadRecNX(handle, 1, &record);
  EXPECT_EQ(result, OKV_SUCCESS) << accessNumber << " #" << nth;
  return record;
}

void WriteWillCallFile(const std::string& folder, const std::vector<WillCallRecord>& records) {
  std::filesystem::create_directories(folder);
  Catalogue catalogue(folder);
  ExpectOk(catalogue.OpenOrCreateCatalogueFile(FileIndex::WillCall), folder.c_str());
  for (const WillCallRecord& record : records) {
    ExpectOk(catalogue.AddCatalogueRecord(FileIndex::WillCall, &record), "add will-call record");
  }
}

WillCallRecord RecordFor(std::string_view accessNumber, std::string_view timestamp) {
  WillCallRecord record{};
  schema::SetText(record.entryTimestamp, timestamp);
  schema::SetText(record.accessNumber, accessNumber);
  schema::SetText(record.customerName, std::string("Customer ") + std::string(accessNumber));
  return record;
}

WillCallTest::WillCallTest() {
  std::filesystem::create_directories(DataDepotFolder());
  std::filesystem::create_directories(WorkFolder());
  Catalogue dataDepot(DataDepotFolder());
  const std::pair<const char*, uint8_t> nodes[] = {{kTruck2, 12}, {kTruck1, 7}};
  for (const auto& [name, address] : nodes) {
    schema::NodeRecord node{};
    schema::SetText(node.nodeName, name);
    node.nodeAddress = address;
    ExpectOk(dataDepot.AddCatalogueRecord(FileIndex::DDPNode, &node), name);
  }
  for (const char* name : {"Fuel", "Alpha"}) {
    schema::ApplicationRecord application{};
    schema::SetText(application.applicationName, name);
    ExpectOk(dataDepot.AddCatalogueRecord(FileIndex::DDPAppl, &application), name);
  }
  settings.values[kPathDataDepotSetting] = DataDepotFolder();
  settings.values[kPathSourceSetting] = SourcePath();
}

void WillCallTest::WriteSource(const std::string& text) const {
  std::ofstream(SourcePath(), std::ios::binary) << text;
}

}  // namespace trk::willcall::testing
