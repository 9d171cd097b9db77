#include "willcall/app/target_node_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "willcall/messages.h"

namespace trk::willcall {

TargetNodeDialog::TargetNodeDialog(uint16_t nodeListHandle, QWidget* parent)
    : QDialog(parent),
      controller_(nodeListHandle,
                  [this](const std::string& text) {
                    QMessageBox::warning(this, caption::kTargetNodeTitle, QString::fromStdString(text));
                  }),
      table_(new QTableWidget(this)),
      buttons_(new QDialogButtonBox(this)) {
  setWindowTitle(caption::kTargetNodeTitle);

  const auto& rows = controller_.rows();
  table_->setColumnCount(2);
  table_->setRowCount(static_cast<int>(rows.size()));
  table_->setHorizontalHeaderLabels({caption::kNodeNameColumn, caption::kAddressColumn});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(true);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(rows[i].name)));
    table_->setItem(row, 1, new QTableWidgetItem(QString::number(rows[i].address)));
  }
  table_->resizeColumnToContents(0);
  table_->setColumnWidth(0, std::max(table_->columnWidth(0), 160));

  ok_ = buttons_->addButton(caption::kOk, QDialogButtonBox::AcceptRole);
  buttons_->addButton(caption::kCancel, QDialogButtonBox::RejectRole);
  connect(buttons_, &QDialogButtonBox::accepted, this, [this] { Accept(); });
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(table_, &QTableWidget::itemSelectionChanged, this,
          [this] { okButton()->setEnabled(controller_.CanAccept(SelectedRow())); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { Accept(); });

  if (const auto first = controller_.InitialSelection()) table_->selectRow(static_cast<int>(*first));
  okButton()->setEnabled(controller_.CanAccept(SelectedRow()));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons_);
  resize(340, 260);
}

std::optional<size_t> TargetNodeDialog::SelectedRow() const {
  const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
  if (ranges.isEmpty()) return std::nullopt;
  return static_cast<size_t>(ranges.first().topRow());
}

void TargetNodeDialog::Accept() {
  const std::optional<size_t> row = SelectedRow();
  if (!controller_.CanAccept(row)) return;
  node_ = controller_.Accept(*row);
  if (node_) {
    accept();
  } else {
    reject();
  }
}

}  // namespace trk::willcall
