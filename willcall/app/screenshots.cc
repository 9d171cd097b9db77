// willcall_screenshots FOLDER
//
// Renders TRKWillCall's windows offscreen into FOLDER for the documentation:
// the main window after an automatic run over a small will-call file with one
// faulty line (trkwillcall-main.png), the about box (trkwillcall-about.png) and
// the target-node dialog (trkwillcall-target-node.png). The demonstration data
// lives in a temporary folder that is removed again.
#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "schema/catalogue.h"
#include "schema/willcall.h"
#include "willcall/app/about_dialog.h"
#include "willcall/app/main_dialog.h"
#include "willcall/app/qt_settings.h"
#include "willcall/app/target_node_dialog.h"

namespace {

namespace fs = std::filesystem;
using trk::schema::Catalogue;
using trk::schema::FileIndex;

constexpr char kWillCallText[] =
    "\"WC\",\"100234\",\"Furnace oil\",\"Margaret Olsen\",\"14 Birch Lane\",\"14 Birch Lane\",\"\","
    "\"Millbrook\",\"ON\",\"L0A 1G0\",\"705-555-0142\",\"705-555-0101\",\"\",\"1100\",\"North wall\","
    "\"Dog in yard\",\"\",\"\",\"\"\r\n"
    "\"WC\",\"100871\",\"Propane\",\"Dale Fischer Farms\",\"RR 2 Concession 6\",\"PO Box 88\",\"\","
    "\"Fenwick\",\"ON\",\"L0S 1C0\",\"\",\"905-555-0177\",\"905-555-0190\",\"500\",\"Behind barn\","
    "\"Call before delivery\",\"\",\"\",\"\"\r\n"
    "\"WC\",\"101002\",\"Diesel\",\"Northern Aggregates and Gravel Supply Ltd.\",\"Pit 3\",\"\",\"\","
    "\"Hanmer\",\"ON\",\"P3P 1A1\",\"\",\"\",\"705-555-0111\",\"2000\",\"Gate B\",\"\",\"\",\"\",\"\"\r\n";

void Fail(const char* what) {
  std::fprintf(stderr, "willcall_screenshots: %s\n", what);
  std::exit(1);
}

void MakeNodeList(const std::string& dataDepot) {
  Catalogue catalogue(dataDepot);
  const std::pair<const char*, uint8_t> nodes[] = {{"TRUCK07", 7}, {"TRUCK12", 12}, {"TANKER3", 3}};
  for (const auto& [name, address] : nodes) {
    trk::schema::NodeRecord node{};
    trk::schema::SetText(node.nodeName, name);
    node.nodeAddress = address;
    if (catalogue.AddCatalogueRecord(FileIndex::DDPNode, &node) != OKV_SUCCESS) Fail("cannot write DDPNode.okv");
  }
}

void Save(QWidget& widget, const fs::path& file) {
  widget.show();
  QApplication::processEvents();
  if (!widget.grab().save(QString::fromStdString(file.string()))) Fail("cannot write a PNG file");
  std::printf("%s\n", file.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: willcall_screenshots FOLDER");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const fs::path output = fs::absolute(argv[1]);
  std::string pattern = (fs::temp_directory_path() / "trkwillcall-shots-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a temporary folder");
  const fs::path demo = pattern;
  setenv("TRK_LOCK_DIR", demo.c_str(), 1);
  setenv("TRK_FOLDER", demo.c_str(), 1);

  QApplication application(argc, argv);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString((demo / "config").string()));
  fs::create_directories(demo / "DataDepot");
  fs::create_directories(demo / "office");
  fs::create_directories(output);
  const std::string dataDepot = (demo / "DataDepot").string() + "/";
  const std::string source = (demo / "office" / "WILLCALL.TXT").string();
  std::ofstream(source, std::ios::binary) << kWillCallText;
  MakeNodeList(dataDepot);

  trk::willcall::QtSettingsStore settings;
  settings.Write(trk::willcall::kPathDataDepotSetting, dataDepot);
  settings.Write(trk::willcall::kPathSourceSetting, source);
  fs::current_path(demo / "office");

  trk::willcall::SystemClock clock;
  trk::willcall::MainDialog main(settings, clock);
  main.resize(900, 300);  // wide enough for the longest log line
  main.show();
  main.StartWithNode(QStringLiteral("TRUCK07"));
  Save(main, output / "trkwillcall-main.png");

  trk::willcall::AboutDialog about(&main);
  Save(about, output / "trkwillcall-about.png");

  Catalogue catalogue(dataDepot);
  if (catalogue.OpenCatalogueFile(FileIndex::DDPNode) != OKV_SUCCESS) Fail("cannot open DDPNode.okv");
  trk::willcall::TargetNodeDialog target(catalogue.Handle(FileIndex::DDPNode), &main);
  Save(target, output / "trkwillcall-target-node.png");
  catalogue.CloseAll();

  fs::current_path(output);
  fs::remove_all(demo);
  return 0;
}
