// The target-node dialog's logic ("Select the Target TQP Node"): one row per
// record of the open node list in key order, each remembering its record's
// position, and the chosen node read back by that position.
//
// Contract:
//  - The handle is an open "DDPNode.okv"; the controller only reads it.
//  - Failed reads are shown as the engine's error line in a message box; rows
//    read before a failure stay in the list.
//  - "OK" is possible only while a row is selected. The first row is selected
//    when the dialog opens.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "schema/willcall.h"

namespace trk::willcall {

struct NodeRow {
  std::string name;
  unsigned address;
  uint32_t position;  // 0 when it could not be taken
};

using ShowMessageFn = std::function<void(const std::string&)>;

class TargetNodeController {
 public:
  TargetNodeController(uint16_t nodeListHandle, ShowMessageFn showMessage);

  const std::vector<NodeRow>& rows() const { return rows_; }
  std::optional<size_t> InitialSelection() const;
  bool CanAccept(std::optional<size_t> selectedRow) const;
  // The node of the selected row; nothing (after a message) when it cannot be read.
  std::optional<schema::NodeRecord> Accept(size_t selectedRow);

 private:
  void LoadRows();

  uint16_t handle_;
  ShowMessageFn showMessage_;
  std::vector<NodeRow> rows_;
};

}  // namespace trk::willcall
