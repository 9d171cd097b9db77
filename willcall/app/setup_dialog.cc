#include "willcall/app/setup_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "willcall/messages.h"

namespace trk::willcall {

SetupDialog::SetupDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), controller_(settings), source_(new QLineEdit(this)), dataDepot_(new QLineEdit(this)) {
  setWindowTitle(caption::kSetupTitle);
  source_->setReadOnly(true);
  dataDepot_->setReadOnly(true);
  source_->setMinimumWidth(360);

  auto* browseSource = new QPushButton(caption::kBrowse, this);
  auto* browseDataDepot = new QPushButton(caption::kBrowse, this);
  connect(browseSource, &QPushButton::clicked, this, [this] { BrowseSource(); });
  connect(browseDataDepot, &QPushButton::clicked, this, [this] { BrowseDataDepot(); });

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(caption::kOk, QDialogButtonBox::AcceptRole);
  buttons->addButton(caption::kCancel, QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Accept(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(caption::kSourcePath, this), 0, 0, 1, 2);
  layout->addWidget(source_, 1, 0);
  layout->addWidget(browseSource, 1, 1);
  layout->addWidget(new QLabel(caption::kDataDepotPath, this), 2, 0, 1, 2);
  layout->addWidget(dataDepot_, 3, 0);
  layout->addWidget(browseDataDepot, 3, 1);
  layout->addWidget(buttons, 4, 0, 1, 2);
  ShowPaths();
}

void SetupDialog::BrowseSource() {
  const QString chosen = QFileDialog::getOpenFileName(this, caption::kBrowseSourceTitle, source_->text());
  if (chosen.isEmpty()) return;
  controller_.SourceFileChosen(chosen.toStdString());
  ShowPaths();
}

void SetupDialog::BrowseDataDepot() {
  const QString chosen = QFileDialog::getOpenFileName(this, caption::kBrowseDataDepotTitle, dataDepot_->text());
  if (chosen.isEmpty()) return;
  controller_.DataDepotProgramChosen(chosen.toStdString());
  ShowPaths();
}

void SetupDialog::Accept() {
  for (const std::string& problem : controller_.Accept()) {
    QMessageBox::warning(this, caption::kSetupTitle, QString::fromStdString(problem));
  }
  accept();
}

void SetupDialog::ShowPaths() {
  source_->setText(QString::fromStdString(controller_.sourcePath()));
  dataDepot_->setText(QString::fromStdString(controller_.dataDepotFolder()));
}

}  // namespace trk::willcall
