#include "tqread/app/main_dialog.h"

#include <QAction>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "tqread/app/about_dialog.h"
#include "tqread/app/program_icon.h"
#include "tqread/app/request_channel.h"

namespace trk::tqread::app {

MainDialog::MainDialog(CommandLine commandLine, Clock& clock, QDBusConnection bus, TrayAvailableFn trayAvailable,
                       QWidget* parent)
    : QDialog(parent),
      log_(new QListWidget(this)),
      progress_(new QProgressBar(this)),
      convert_(new QPushButton(text::kConvert, this)),
      tray_(new QSystemTrayIcon(this)),
      requests_(new RequestChannel(std::move(bus), [this](int32_t trigger) { ConversionRequested(trigger); }, this)),
      trayAvailable_(std::move(trayAvailable)),
      controller_(*this, clock, std::move(commandLine)) {
  setWindowTitle(text::kMainTitle);
  setWindowIcon(ProgramIcon());
  setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);

  QFont listFont = font();
  listFont.setFamily(QStringLiteral("Courier New"));
  listFont.setStyleHint(QFont::TypeWriter);
  log_->setFont(listFont);

  // The bar keeps its place while hidden: a run repaints it without a new layout.
  QSizePolicy keepPlace = progress_->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(keepPlace);
  progress_->hide();

  convert_->setAutoDefault(false);
  connect(convert_, &QPushButton::clicked, this, [this] { controller_.ConvertPressed(); });

  auto* about = new QAction(text::kAboutCommand, this);
  connect(about, &QAction::triggered, this, [this] { AboutDialog(this).exec(); });
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  tray_->setIcon(ProgramIcon());
  tray_->setToolTip(text::kTrayTip);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    TrayActivated(reason);
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(convert_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(log_);
  layout->addWidget(progress_);
  layout->addLayout(buttons);
  resize(640, 320);
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

void MainDialog::ShowProgress(uint32_t position, uint32_t range) {
  progress_->setRange(0, static_cast<int>(range));
  progress_->setValue(static_cast<int>(position));
  progress_->show();
  progress_->repaint();
}

void MainDialog::HideProgress() {
  progress_->hide();
  repaint();
}

void MainDialog::SendConversionRequest(int32_t trigger) { requests_->Send(trigger); }

void MainDialog::ConversionRequested(int32_t trigger) {
  if (const std::optional<int> status = controller_.ConversionRequested(trigger)) {
    exitStatus_ = *status;
    tray_->hide();
    done(QDialog::Accepted);
  }
}

void MainDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_()) {
    // Hidden from the event loop, once the state change has run its course.
    QTimer::singleShot(0, this, [this] { HideInTray(); });
  }
}

void MainDialog::HideInTray() {
  if (!isMinimized()) return;
  tray_->show();
  hide();
}

void MainDialog::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason != QSystemTrayIcon::DoubleClick && reason != QSystemTrayIcon::Context) return;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  tray_->hide();
}

}  // namespace trk::tqread::app
