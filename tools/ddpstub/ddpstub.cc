// ddpstub: a stand-in for the outside distribution program, for tests and
// demonstrations only. It does the few things the suite relies on that program
// for: it keeps the node list "DDPNode.okv" and the application list
// "DDPAppl.okv" in its folder, keeps node copies and edit copies of a node's
// "WillCall.zdb", and asks for a TQRead run with the TQFSUPDATE signal.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/catalogue.h"
#include "schema/records.h"
#include "schema/willcall.h"

namespace {

namespace fs = std::filesystem;
using trk::schema::Catalogue;
using trk::schema::FileIndex;

constexpr char kUsage[] =
    "usage:\n"
    "  ddpstub init FOLDER NODE=ADDRESS... [--app NAME]...\n"
    "      creates DDPNode.okv and DDPAppl.okv in FOLDER, replacing existing ones\n"
    "      (node names of at most 8 characters, addresses 1 to 255; application \"TRK\" by default)\n"
    "  ddpstub copy FOLDER NODE APPLICATION MASTER [--edit] [--drop ACCESS]...\n"
    "      copies the will-call file MASTER to FOLDER/NODE/APPLICATION/WillCall.zdb,\n"
    "      with --edit to the edit copy FOLDER/NODE/EDT/APPLICATION/WillCall.zdb,\n"
    "      then removes the will-calls of each ACCESS number from the copy\n"
    "  ddpstub signal [TRIGGER]\n"
    "      sends TQFSUPDATE with TRIGGER (default 0, the distribution program) on the session bus\n";

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

int Usage() {
  std::fputs(kUsage, stderr);
  return kUsageError;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "ddpstub: %s\n", text.c_str());
  return kFailure;
}

int EngineFail(const std::string& what, uint8_t code) {
  const char* message = OKVResultMessage(code);
  return Fail(what + ": " + std::to_string(code) + " " + (message ? message : ""));
}

bool IsPlainFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::optional<unsigned> NumberIn(std::string_view text, unsigned minimum, unsigned maximum) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < minimum || value > maximum) return std::nullopt;
  return value;
}

std::string FolderOf(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

int Init(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string folder = FolderOf(args[0]);
  std::vector<trk::schema::NodeRecord> nodes;
  std::vector<trk::schema::ApplicationRecord> applications;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--app") {
      if (++i == args.size() || !IsPlainFolderName(args[i]) || args[i].size() > 255) return Usage();
      trk::schema::ApplicationRecord application{};
      trk::schema::SetText(application.applicationName, args[i]);
      applications.push_back(application);
      continue;
    }
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos) return Usage();
    const std::string name = args[i].substr(0, equals);
    const std::optional<unsigned> address = NumberIn(std::string_view(args[i]).substr(equals + 1), 1, 255);
    if (!IsPlainFolderName(name) || name.size() > 8 || !address) return Usage();
    trk::schema::NodeRecord node{};
    trk::schema::SetText(node.nodeName, name);
    node.nodeAddress = static_cast<uint8_t>(*address);
    nodes.push_back(node);
  }
  if (nodes.empty()) return Usage();
  if (applications.empty()) {
    applications.emplace_back();
    trk::schema::SetText(applications.back().applicationName, "TRK");
  }

  std::error_code error;
  fs::create_directories(folder, error);
  Catalogue catalogue(folder);
  for (const FileIndex file : {FileIndex::DDPNode, FileIndex::DDPAppl}) {
    if (const uint8_t result = catalogue.DeleteCatalogueFile(file); result != OKV_SUCCESS) {
      return EngineFail(std::string("cannot replace ") + trk::schema::FileNameOf(file), result);
    }
  }
  for (const auto& node : nodes) {
    if (const uint8_t result = catalogue.AddCatalogueRecord(FileIndex::DDPNode, &node); result != OKV_SUCCESS) {
      return EngineFail("cannot add node " + std::string(trk::schema::TextOf(node.nodeName)), result);
    }
  }
  for (const auto& application : applications) {
    if (const uint8_t result = catalogue.AddCatalogueRecord(FileIndex::DDPAppl, &application);
        result != OKV_SUCCESS) {
      return EngineFail("cannot add application " + std::string(trk::schema::TextOf(application.applicationName)),
                        result);
    }
  }
  return 0;
}

// Removes every will-call of the access number from the open copy.
int DropAccessNumber(uint16_t handle, const std::string& access) {
  char key[13] = {};
  if (access.empty() || access.size() >= sizeof key) return Fail("not an access number: " + access);
  trk::schema::SetText(key, access);
  trk::schema::WillCallRecord record{};
  uint8_t result;
  while ((result = OKVReadRecEQ(handle, 1, key, &record)) == OKV_SUCCESS) {
    if (const uint8_t deleted = OKVDeleteRec(handle); deleted != OKV_SUCCESS) {
      return EngineFail("cannot remove a will-call of " + access, deleted);
    }
  }
  return result == OKV_RECORD_NOT_FOUND ? 0 : EngineFail("cannot read the copy", result);
}

int Copy(const std::vector<std::string>& args) {
  if (args.size() < 4) return Usage();
  const std::string& node = args[1];
  const std::string& application = args[2];
  const std::string& master = args[3];
  if (!IsPlainFolderName(node) || !IsPlainFolderName(application)) return Usage();
  bool edit = false;
  std::vector<std::string> drops;
  for (size_t i = 4; i < args.size(); ++i) {
    if (args[i] == "--edit") {
      edit = true;
    } else if (args[i] == "--drop" && i + 1 < args.size()) {
      drops.push_back(args[++i]);
    } else {
      return Usage();
    }
  }

  const std::string folder =
      FolderOf(args[0]) + node + (edit ? "/EDT/" : "/") + application + "/";
  std::error_code error;
  fs::create_directories(folder, error);
  const std::string copy = folder + trk::schema::FileNameOf(FileIndex::WillCall);
  if (!fs::copy_file(master, copy, fs::copy_options::overwrite_existing, error)) {
    return Fail("cannot copy " + master + " to " + copy + ": " + error.message());
  }
  if (drops.empty()) return 0;
  Catalogue catalogue(folder);
  if (const uint8_t result = catalogue.OpenCatalogueFile(FileIndex::WillCall); result != OKV_SUCCESS) {
    return EngineFail("cannot open " + copy, result);
  }
  for (const std::string& access : drops) {
    if (const int result = DropAccessNumber(catalogue.Handle(FileIndex::WillCall), access); result != 0) {
      return result;
    }
  }
  return 0;
}

int Signal(int argc, char** argv, const std::vector<std::string>& args) {
  if (args.size() > 1) return Usage();
  const std::optional<unsigned> trigger = args.empty() ? 0u : NumberIn(args[0], 0, 2);
  if (!trigger) return Usage();
  QCoreApplication application(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return Fail("no session bus: " + bus.lastError().message().toStdString());
  QDBusMessage signal =
      QDBusMessage::createSignal(QStringLiteral("/"), QStringLiteral("com.corvane.TRK"), QStringLiteral("TQFSUPDATE"));
  signal << static_cast<qint32>(*trigger);
  if (!bus.send(signal)) return Fail("cannot send TQFSUPDATE: " + bus.lastError().message().toStdString());
  // A round trip to the bus: once it answers, the signal before it has left.
  bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "init") return Init(args);
  if (command == "copy") return Copy(args);
  if (command == "signal") return Signal(argc, argv, args);
  return Usage();
}
