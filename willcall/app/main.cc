// TRKWillCall [node name]
//
// Converts the will-call text file into the master will-call file of a node and
// cleans out what the node's truck has taken over. With a node name the program
// converts for that node at once and closes itself when nothing went wrong.
#include <QApplication>
#include <QTimer>

#include "willcall/app/main_dialog.h"
#include "willcall/app/qt_settings.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setApplicationName(QStringLiteral("TRK WillCall"));

  trk::willcall::QtSettingsStore settings;
  trk::willcall::SystemClock clock;
  trk::willcall::MainDialog dialog(settings, clock);

  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1) {
    const QString nodeName = arguments.at(1);
    QTimer::singleShot(0, &dialog, [&dialog, nodeName] { dialog.StartWithNode(nodeName); });
  }
  dialog.exec();
  return 0;
}
