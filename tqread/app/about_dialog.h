// "About TRKTQRead": the program's name and version, and the version texts of
// the file-server client and of the engine in two read-only fields.
#pragma once

#include <QDialog>

namespace trk::tqread::app {

class AboutDialog final : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent);
};

}  // namespace trk::tqread::app
