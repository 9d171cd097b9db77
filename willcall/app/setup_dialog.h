// "Setup TRK WillCall": the will-call text file and the distribution program's
// folder, each shown read-only and changed through its "Browse..." button.
#pragma once

#include <QDialog>

#include "willcall/setup_controller.h"

class QLineEdit;

namespace trk::willcall {

class SetupDialog final : public QDialog {
 public:
  SetupDialog(SettingsStore& settings, QWidget* parent);

 private:
  void BrowseSource();
  void BrowseDataDepot();
  void Accept();
  void ShowPaths();

  SetupController controller_;
  QLineEdit* source_;
  QLineEdit* dataDepot_;
};

}  // namespace trk::willcall
