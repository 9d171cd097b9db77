// The rows of the target-node dialog and the node chosen from them.
#include "willcall/target_node.h"

#include "willcall/messages.h"

namespace trk::willcall {

using schema::FileIndex;
using schema::NodeRecord;

TargetNodeController::TargetNodeController(uint16_t nodeListHandle, ShowMessageFn showMessage)
    : handle_(nodeListHandle), showMessage_(std::move(showMessage)) {
  LoadRows();
}

void TargetNodeController::LoadRows() {
  NodeRecord node{};
  uint8_t result = OKVReadRecLO(handle_, 0, &node);
  OKVOperation operation = OKV_OP_READ_REC_LO;
  while (result == OKV_SUCCESS) {
    uint32_t position = 0;
    if (const uint8_t taken = OKVGetRecIX(handle_, &position); taken != OKV_SUCCESS) {
      showMessage_(EngineErrorLine(taken, OKV_OP_GET_REC_IX, FileIndex::DDPNode));
      position = 0;
    }
    rows_.push_back({std::string(schema::TextOf(node.nodeName)), node.nodeAddress, position});
    result = OKVReadRecNX(handle_, 0, &node);
    operation = OKV_OP_READ_REC_NX;
  }
  if (result != OKV_RECORD_NOT_FOUND) showMessage_(EngineErrorLine(result, operation, FileIndex::DDPNode));
}

std::optional<size_t> TargetNodeController::InitialSelection() const {
  if (rows_.empty()) return std::nullopt;
  return 0;
}

bool TargetNodeController::CanAccept(std::optional<size_t> selectedRow) const {
  return selectedRow && *selectedRow < rows_.size();
}

std::optional<NodeRecord> TargetNodeController::Accept(size_t selectedRow) {
  if (!CanAccept(selectedRow)) return std::nullopt;
  NodeRecord node{};
  const uint8_t result = OKVReadRecIX(handle_, rows_[selectedRow].position, &node);
  if (result != OKV_SUCCESS) {
    showMessage_(EngineErrorLine(result, OKV_OP_READ_REC_IX, FileIndex::DDPNode));
    return std::nullopt;
  }
  return node;
}

}  // namespace trk::willcall
