// tqread_screenshots FOLDER
//
// Renders TRKTQRead's windows offscreen into FOLDER for the documentation: the
// main window after the start-up run over a generated day of a truck, whose
// last sale still waits for its summary (trktqread-main.png), and the about box
// (trktqread-about.png). The demonstration data lives in a temporary folder
// that is removed again.
#include <QApplication>
#include <QDBusConnection>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "schema/catalogue.h"
#include "schema/records.h"
#include "tools/trangen/generator.h"
#include "tqread/app/about_dialog.h"
#include "tqread/app/main_dialog.h"

namespace {

namespace fs = std::filesystem;
using trk::schema::Catalogue;
using trk::schema::FileIndex;

void Fail(const char* what) {
  std::fprintf(stderr, "tqread_screenshots: %s\n", what);
  std::exit(1);
}

void MakeDay(const std::string& folder) {
  trk::schema::ConfigRecord config = trk::schema::DefaultConfigRecord();
  config.communicationMethod = trk::tqread::app::kBatch;  // the window stays after the run
  if (Catalogue(folder).AddCatalogueRecord(FileIndex::Config, &config) != OKV_SUCCESS) Fail("cannot write Config.zdb");
  trk::tools::TransactionDayOptions day;
  day.records = 40;
  day.pendingSales = 1;
  if (trk::tools::WriteTransactionDay(folder, day, nullptr) != OKV_SUCCESS) Fail("cannot write the transactions");
}

void Save(QWidget& widget, const fs::path& file) {
  widget.show();
  QApplication::processEvents();
  if (!widget.grab().save(QString::fromStdString(file.string()))) Fail("cannot write a PNG file");
  std::printf("%s\n", file.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: tqread_screenshots FOLDER");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const fs::path output = fs::absolute(argv[1]);
  std::string pattern = (fs::temp_directory_path() / "trktqread-shots-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a temporary folder");
  const fs::path demo = pattern;
  setenv("TRK_LOCK_DIR", demo.c_str(), 1);
  setenv("TRK_FOLDER", demo.c_str(), 1);
  fs::create_directories(output);
  MakeDay(demo.string() + "/");
  fs::current_path(demo);

  QApplication application(argc, argv);
  trk::tqread::app::SystemClock clock;
  trk::tqread::app::MainDialog main({}, clock, QDBusConnection(QStringLiteral("none")));
  main.resize(900, 320);  // wide enough for the longer log lines
  main.show();
  main.Start();
  QApplication::processEvents();  // the start-up run
  Save(main, output / "trktqread-main.png");

  trk::tqread::app::AboutDialog about(&main);
  Save(about, output / "trktqread-about.png");

  fs::current_path(output);
  fs::remove_all(demo);
  return 0;
}
