#include "willcall/app/qt_settings.h"

#include <QSettings>
#include <QString>

namespace trk::willcall {
namespace {

// A fresh object for every access, so values written by another program (or
// another instance) are always seen.
class PathSettings : public QSettings {
 public:
  PathSettings() : QSettings(QStringLiteral("Corvane"), QStringLiteral("TRK")) {}
};

QString KeyOf(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace

bool QtSettingsStore::Accessible() {
  PathSettings settings;
  return settings.status() == QSettings::NoError;
}

std::optional<std::string> QtSettingsStore::Read(std::string_view name) {
  PathSettings settings;
  const QVariant value = settings.value(KeyOf(name));
  if (!value.isValid()) return std::nullopt;
  return value.toString().toStdString();
}

bool QtSettingsStore::Write(std::string_view name, std::string_view value) {
  PathSettings settings;
  settings.setValue(KeyOf(name), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings.sync();
  return settings.status() == QSettings::NoError && settings.isWritable();
}

}  // namespace trk::willcall
