// "Select the Target TQP Node": the nodes of the open node list in a table with
// full-row selection and grid lines, the first row selected; "OK" only while a
// row is selected.
#pragma once

#include <QDialog>

#include <optional>

#include "schema/willcall.h"
#include "willcall/target_node.h"

class QDialogButtonBox;
class QPushButton;
class QTableWidget;

namespace trk::willcall {

class TargetNodeDialog final : public QDialog {
 public:
  TargetNodeDialog(uint16_t nodeListHandle, QWidget* parent);

  // The node read back when "OK" was pressed.
  const std::optional<schema::NodeRecord>& node() const { return node_; }

  QTableWidget* table() const { return table_; }
  QPushButton* okButton() const { return ok_; }

 private:
  std::optional<size_t> SelectedRow() const;
  void Accept();

  TargetNodeController controller_;
  QTableWidget* table_;
  QDialogButtonBox* buttons_;
  QPushButton* ok_ = nullptr;
  std::optional<schema::NodeRecord> node_;
};

}  // namespace trk::willcall
