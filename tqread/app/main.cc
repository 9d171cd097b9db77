// TRKTQRead [destination file [database folder]]
//
// Converts a truck's completed transactions into the delivery text file when it
// starts, when the operator presses "&Convert", and whenever "TQFSUPDATE"
// arrives on the session bus; between runs it waits, in the notification area
// when minimised. A second start while one runs ends at once with status 0.
// When the exit rule ends the program after a run that reported errors, the
// exit status is 1, else 0.
#include <QApplication>
#include <QDBusConnection>

#include <algorithm>
#include <string>
#include <vector>

#include "tqread/app/command_line.h"
#include "tqread/app/main_dialog.h"
#include "tqread/app/single_instance.h"
#include "tqread/app/texts.h"

namespace {

// A start without any display (a scheduled command-line run) still converts:
// the window is then drawn offscreen.
void DrawOffscreenWithoutDisplay() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
}

// After QApplication has taken out its own options; the bytes pass unchanged.
trk::tqread::app::CommandLine ArgumentsAfterProgramName(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  return trk::tqread::app::ParseCommandLine(arguments);
}

}  // namespace

int main(int argc, char** argv) {
  namespace text = trk::tqread::app::text;
  trk::tqread::app::SingleInstance instance;
  if (!instance.held()) return 0;

  DrawOffscreenWithoutDisplay();
  QApplication application(argc, argv);
  QCoreApplication::setOrganizationName(text::kSettingsOrganization);
  QCoreApplication::setApplicationName(text::kSettingsApplication);
  // Hidden in the notification area the window is not closed: only the dialog's
  // end ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  trk::tqread::app::SystemClock clock;
  trk::tqread::app::MainDialog dialog(ArgumentsAfterProgramName(argc, argv), clock, QDBusConnection::sessionBus());
  QObject::connect(&dialog, &QDialog::finished, &application,
                   [&dialog] { QCoreApplication::exit(dialog.exitStatus()); });
  dialog.show();
  dialog.Start();
  return application.exec();
}
