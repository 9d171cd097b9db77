#include "willcall/app/main_dialog.h"

#include <QAction>
#include <QFont>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "willcall/app/about_dialog.h"
#include "willcall/app/setup_dialog.h"
#include "willcall/app/target_node_dialog.h"
#include "willcall/messages.h"

namespace trk::willcall {

MainDialog::MainDialog(SettingsStore& settings, Clock& clock, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      log_(new QListWidget(this)),
      progress_(new QProgressBar(this)),
      controller_(*this, settings, clock) {
  setWindowTitle(caption::kMainTitle);

  QFont listFont = font();
  listFont.setFamily(QStringLiteral("Courier New"));
  listFont.setStyleHint(QFont::TypeWriter);
  log_->setFont(listFont);
  progress_->hide();

  auto* convert = new QPushButton(caption::kConvert, this);
  auto* setup = new QPushButton(caption::kSetup, this);
  auto* clean = new QPushButton(caption::kClean, this);
  convert->setAutoDefault(false);
  setup->setAutoDefault(false);
  clean->setAutoDefault(false);
  connect(convert, &QPushButton::clicked, this, [this] { controller_.Convert(); });
  connect(setup, &QPushButton::clicked, this, [this] { ShowSetup(); });
  connect(clean, &QPushButton::clicked, this, [this] { controller_.Clean(); });

  auto* about = new QAction(caption::kAboutCommand, this);
  connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(convert);
  buttons->addWidget(setup);
  buttons->addWidget(clean);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(log_);
  layout->addWidget(progress_);
  layout->addLayout(buttons);
  resize(640, 320);
}

void MainDialog::StartWithNode(const QString& nodeName) {
  if (controller_.StartWithNode(nodeName.toStdString())) accept();
}

// At most the newest 100 lines; the list follows the newest line only while
// it was in view, so reading older lines is not disturbed.
void MainDialog::AddLogLine(const std::string& line) {
  const QScrollBar* bar = log_->verticalScrollBar();
  const bool newestInView = bar->value() == bar->maximum();
  while (log_->count() >= kMaxLogLines) delete log_->takeItem(0);
  log_->addItem(QString::fromStdString(line));
  if (newestInView) log_->scrollToBottom();
  log_->repaint();
}

void MainDialog::ShowProgress(uint32_t maximum) {
  // A range of 0..0 would show a busy bar instead of an empty one.
  progress_->setRange(0, static_cast<int>(std::max<uint32_t>(maximum, 1)));
  progress_->setValue(0);
  progress_->show();
}

void MainDialog::StepProgress() { progress_->setValue(progress_->value() + 1); }

void MainDialog::HideProgress() {
  progress_->hide();
  repaint();
}

void MainDialog::ShowMessage(const std::string& text) {
  QMessageBox::information(this, caption::kMainTitle, QString::fromStdString(text));
}

std::optional<schema::NodeRecord> MainDialog::ChooseTargetNode(uint16_t nodeListHandle) {
  TargetNodeDialog dialog(nodeListHandle, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.node();
}

void MainDialog::ShowSetup() { SetupDialog(settings_, this).exec(); }

void MainDialog::ShowAbout() { AboutDialog(this).exec(); }

}  // namespace trk::willcall
