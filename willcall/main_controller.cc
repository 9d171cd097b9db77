// Convert, Clean and the automatic start of the will-call program.
#include "willcall/main_controller.h"

#include <cstring>
#include <filesystem>

#include "willcall/cleaning.h"
#include "willcall/folders.h"
#include "willcall/text_conversion.h"

namespace trk::willcall {

using schema::Catalogue;
using schema::FileIndex;
using schema::NodeRecord;

MainController::MainController(Screen& screen, SettingsStore& settings, Clock& clock, CurrentFolderFn currentFolder)
    : screen_(screen),
      settings_(settings),
      clock_(clock),
      currentFolder_(std::move(currentFolder)),
      reporter_(screen, clock) {}

bool MainController::StartWithNode(std::string_view nodeName) {
  nodeName = FirstWord(nodeName);
  if (nodeName.empty()) return false;
  commandLineNode_ = std::string(nodeName);
  reporter_.SetAutomaticMode(true);
  Convert();
  return reporter_.automaticMode();
}

void MainController::Convert() {
  const std::optional<std::string> dataDepotFolder = ReadDataDepotFolder();
  if (!dataDepotFolder) return;
  Catalogue dataDepot(*dataDepotFolder);
  if (const uint8_t opened = dataDepot.OpenCatalogueFile(FileIndex::DDPNode); opened != OKV_SUCCESS) {
    reporter_.EngineFailure(opened, OKV_OP_OPEN_FILE, FileIndex::DDPNode);
    return;
  }
  const uint16_t nodeList = dataDepot.Handle(FileIndex::DDPNode);
  const std::optional<NodeRecord> node =
      reporter_.automaticMode() ? FindCommandLineNode(nodeList) : screen_.ChooseTargetNode(nodeList);
  if (node) ConvertForNode(*node);
  CloseReported(dataDepot, FileIndex::DDPNode);
}

void MainController::Clean() {
  const std::optional<std::string> dataDepotFolder = ReadDataDepotFolder();
  if (!dataDepotFolder) return;
  screen_.ShowMessage(MessageText(Msg::CleanWarning));
  Catalogue dataDepot(*dataDepotFolder);
  if (const uint8_t opened = dataDepot.OpenCatalogueFile(FileIndex::DDPNode); opened != OKV_SUCCESS) {
    reporter_.EngineFailure(opened, OKV_OP_OPEN_FILE, FileIndex::DDPNode);
    return;
  }
  if (const std::optional<NodeRecord> node = screen_.ChooseTargetNode(dataDepot.Handle(FileIndex::DDPNode))) {
    if (const uint8_t opened = dataDepot.OpenCatalogueFile(FileIndex::DDPAppl); opened != OKV_SUCCESS) {
      reporter_.EngineFailure(opened, OKV_OP_OPEN_FILE, FileIndex::DDPAppl);
    } else {
      RemoveTakenOverRecords(reporter_, *dataDepotFolder, dataDepot.Handle(FileIndex::DDPAppl), *node,
                             currentFolder_());
      CloseReported(dataDepot, FileIndex::DDPAppl);
    }
  }
  CloseReported(dataDepot, FileIndex::DDPNode);
}

// A missing, empty or over-long value counts as unreadable.
std::optional<std::string> MainController::ReadDataDepotFolder() {
  if (!settings_.Accessible()) {
    reporter_.Failure(Msg::PathAccessFailed);
    return std::nullopt;
  }
  std::optional<std::string> folder = settings_.Read(kPathDataDepotSetting);
  if (!folder || folder->empty() || folder->size() > kMaxSettingLength) {
    reporter_.Failure(Msg::DataDepotPathReadFailed);
    return std::nullopt;
  }
  return WithTrailingSlash(std::move(*folder));
}

// Node names hold at most 8 characters; a longer name is not cut to match
// another node, it is simply not found.
std::optional<NodeRecord> MainController::FindCommandLineNode(uint16_t nodeList) {
  NodeRecord node{};
  char key[sizeof node.nodeName] = {};
  uint8_t result = OKV_RECORD_NOT_FOUND;
  if (commandLineNode_.size() < sizeof key) {
    std::memcpy(key, commandLineNode_.data(), commandLineNode_.size());
    result = OKVReadRecEQ(nodeList, 0, key, &node);
  }
  if (result != OKV_SUCCESS) {
    reporter_.EngineFailure(result, OKV_OP_READ_REC_EQ, FileIndex::DDPNode);
    return std::nullopt;
  }
  return node;
}

void MainController::ConvertForNode(const NodeRecord& node) {
  const std::optional<std::string> sourcePath = settings_.Read(kPathSourceSetting);
  if (!sourcePath || sourcePath->size() > kMaxSettingLength) {
    reporter_.Failure(Msg::SourcePathReadFailed);
    return;
  }
  const std::optional<std::string> currentFolder = currentFolder_();
  if (!currentFolder) {
    reporter_.Failure(Msg::NoCurrentFolder);
    return;
  }
  const std::string masterFolder = ConversionMasterFolder(*currentFolder, node);
  std::error_code ignored;  // an existing folder is fine; any other trouble shows in the open
  std::filesystem::create_directory(masterFolder, ignored);
  Catalogue master(masterFolder);
  if (const uint8_t opened = master.OpenOrCreateCatalogueFile(FileIndex::WillCall); opened != OKV_SUCCESS) {
    reporter_.EngineFailure(opened, OKV_OP_OPEN_FILE, FileIndex::WillCall);
  } else {
    RunTextConversion(*sourcePath, master);
  }
  CloseReported(master, FileIndex::WillCall);
}

void MainController::RunTextConversion(const std::string& sourcePath, Catalogue& master) {
  ConvertTextFile(sourcePath, reporter_, clock_, screen_, [&master](const schema::WillCallRecord& record) {
    return master.AddCatalogueRecord(FileIndex::WillCall, &record);
  });
}

void MainController::CloseReported(Catalogue& catalogue, FileIndex file) {
  if (const uint8_t closed = catalogue.CloseCatalogueFile(file); closed != OKV_SUCCESS) {
    reporter_.EngineFailure(closed, OKV_OP_CLOSE_FILE, file);
  }
}

std::string_view FirstWord(std::string_view argument) {
  const size_t space = argument.find(' ');
  return space == std::string_view::npos ? argument : argument.substr(0, space);
}

}  // namespace trk::willcall
