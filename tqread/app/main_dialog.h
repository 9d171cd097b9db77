// "TRKTQRead": the log list (the newest 100 lines), the progress bar (shown only
// during a run) and "&Convert". The window's context menu holds "&About
// TRKTQRead...", where the desktop has no system menu to carry it. Minimising
// puts the window into the notification area when the desktop has one; a
// double click or a right click on the icon brings it back.
//
// Everything it decides is ReaderController's; this wires the widgets and the
// "TQFSUPDATE" channel to it. When the exit rule ends the program the dialog is
// finished with exitStatus() set; the program ends on finished().
#pragma once

#include <QDBusConnection>
#include <QDialog>
#include <QSystemTrayIcon>

#include <functional>

#include "tqread/app/reader_controller.h"

class QListWidget;
class QProgressBar;
class QPushButton;

namespace trk::tqread::app {

class RequestChannel;

class MainDialog final : public QDialog, public ReaderScreen {
 public:
  static constexpr int kMaxLogLines = 100;
  using TrayAvailableFn = std::function<bool()>;

  MainDialog(CommandLine commandLine, Clock& clock, QDBusConnection bus,
             TrayAvailableFn trayAvailable = QSystemTrayIcon::isSystemTrayAvailable, QWidget* parent = nullptr);

  // Asks for the start-up run.
  void Start() { controller_.Start(); }
  int exitStatus() const { return exitStatus_; }

  QListWidget* logList() const { return log_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* convertButton() const { return convert_; }
  QSystemTrayIcon* trayIcon() const { return tray_; }
  const RequestChannel& requests() const { return *requests_; }

  void AddLogLine(const std::string& line) override;
  void ShowProgress(uint32_t position, uint32_t range) override;
  void HideProgress() override;
  void SendConversionRequest(int32_t trigger) override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void ConversionRequested(int32_t trigger);
  void HideInTray();
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

  QListWidget* log_;
  QProgressBar* progress_;
  QPushButton* convert_;
  QSystemTrayIcon* tray_;
  RequestChannel* requests_;
  TrayAvailableFn trayAvailable_;
  ReaderController controller_;
  int exitStatus_ = 0;
};

}  // namespace trk::tqread::app
