// "TRK WillCall": the log list, the progress bar (shown only during a
// conversion) and the buttons "&Convert", "&Setup" and "C&lean". The window's
// context menu holds "&About TRKWillCall...", where the desktop has no system
// menu to carry it. Everything it does is MainController's; this only wires.
#pragma once

#include <QDialog>

#include "willcall/environment.h"
#include "willcall/main_controller.h"

class QListWidget;
class QProgressBar;
class QPushButton;

namespace trk::willcall {

class MainDialog final : public QDialog, public Screen {
 public:
  static constexpr int kMaxLogLines = 100;

  MainDialog(SettingsStore& settings, Clock& clock, QWidget* parent = nullptr);

  // The command line's node name: converts for it and closes the dialog when
  // nothing went wrong.
  void StartWithNode(const QString& nodeName);

  QListWidget* logList() const { return log_; }
  QProgressBar* progressBar() const { return progress_; }

  void AddLogLine(const std::string& line) override;
  void ShowProgress(uint32_t maximum) override;
  void StepProgress() override;
  void HideProgress() override;
  void ShowMessage(const std::string& text) override;
  std::optional<schema::NodeRecord> ChooseTargetNode(uint16_t nodeListHandle) override;

 private:
  void ShowSetup();
  void ShowAbout();

  SettingsStore& settings_;
  QListWidget* log_;
  QProgressBar* progress_;
  MainController controller_;
};

}  // namespace trk::willcall
