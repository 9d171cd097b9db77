// Folder names of the master files and the distribution program's copies.
#include "willcall/folders.h"

#include <cstdio>

namespace trk::willcall {

bool IsPlainFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string ConversionMasterFolder(const std::string& currentFolder, const schema::NodeRecord& node) {
  char address[8];
  std::snprintf(address, sizeof address, "%03u", static_cast<unsigned>(node.nodeAddress));
  return currentFolder + "/" + address + "/";
}

std::string NamedMasterFolder(const std::string& currentFolder, std::string_view nodeName) {
  return currentFolder + "/" + std::string(nodeName) + "/";
}

std::string NodeCopyFolder(const std::string& dataDepotFolder, std::string_view nodeName,
                           std::string_view application) {
  return dataDepotFolder + std::string(nodeName) + "/" + std::string(application) + "/";
}

std::string EditCopyFolder(const std::string& dataDepotFolder, std::string_view nodeName,
                           std::string_view application) {
  return dataDepotFolder + std::string(nodeName) + "/EDT/" + std::string(application) + "/";
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace trk::willcall
