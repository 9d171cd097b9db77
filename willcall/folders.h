// Where the will-call files of a node live.
//
//  - The master "WillCall.zdb" that the conversion fills and the cleaning empties:
//    {current folder}/{node address as three digits}/ (for example ".../007/").
//    Older installations may keep a master under the node's name instead
//    ({current folder}/{node name}/); the cleaning falls back to it.
//  - The distribution program's node copy and edit copy of an application:
//    {DataDepot folder}{node name}/{application}/ and
//    {DataDepot folder}{node name}/EDT/{application}/.
// Node and application names come from the distribution program's lists; a
// name that is not a plain folder name (empty, "." or "..", or holding a '/')
// never becomes part of a path, so no file outside those folders is touched.
#pragma once

#include <string>
#include <string_view>

#include "schema/willcall.h"

namespace trk::willcall {

bool IsPlainFolderName(std::string_view name);

// All folders end in '/'. `currentFolder` is given without a trailing '/'.
std::string ConversionMasterFolder(const std::string& currentFolder, const schema::NodeRecord& node);
std::string NamedMasterFolder(const std::string& currentFolder, std::string_view nodeName);
std::string NodeCopyFolder(const std::string& dataDepotFolder, std::string_view nodeName,
                           std::string_view application);
std::string EditCopyFolder(const std::string& dataDepotFolder, std::string_view nodeName,
                           std::string_view application);

// A folder given by a person or a setting, with the trailing '/' that file
// names are appended after.
std::string WithTrailingSlash(std::string folder);

}  // namespace trk::willcall
