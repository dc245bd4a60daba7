#include "app/RegQZ.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <string_view>

namespace zonda {
namespace {

struct RootName {
  std::string_view name;
  uint8_t kind;
};
constexpr std::array<RootName, 5> kRootNames{{{"HKEY_CLASSES_ROOT", 1},
                                             {"HKEY_CURRENT_USER", 2},
                                             {"HKEY_LOCAL_MACHINE", 3},
                                             {"HKEY_USERS", 4},
                                             {"HKEY_CURRENT_CONFIG", 5}}};

bool UserScope(uint8_t kind) { return kind == 2 || kind == 4; }

// The store's file, found afresh at every open (QSettings keeps the folders
// it saw first for the whole process, which would tie every later open, and
// every test, to the first XDG_CONFIG_HOME).
QString StoreFile(bool user, const QString& org, const QString& app) {
  const QString base = user ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                            : QStringLiteral("/etc/xdg");
  return base + "/" + org + "/" + app + ".conf";
}

// Whether the file can be created or rewritten (folders are made when missing).
bool Writable(const QString& file) {
  const QFileInfo info(file);
  if (!QDir().mkpath(info.absolutePath())) return false;
  if (info.exists()) return info.isWritable();
  return QFileInfo(info.absolutePath()).isWritable();
}

// An integer as the store keeps it: a number, or text that is one.
bool ToInteger(const QVariant& v, int32_t& out) {
  bool ok = false;
  const qlonglong n = v.toString().trimmed().toLongLong(&ok);
  if (!ok || n < INT32_MIN || n > INT32_MAX) return false;
  out = static_cast<int32_t>(n);
  return true;
}

}  // namespace

TRegQZ::TRegQZ() = default;

TRegQZ::~TRegQZ() { Close(); }

void TRegQZ::SetRootKind(int kind) {
  if (kind < 0 || kind > 5) return;
  RootKind = static_cast<uint8_t>(kind);
}

void TRegQZ::Close() {
  if (settings_ && IsOpen && !Failed) Commit();
  settings_.reset();
  IsOpen = 0;
}

void TRegQZ::SetKeyPath(const std::string& path) {
  Changing = 1;
  Close();
  std::string rest = path;
  for (const RootName& r : kRootNames) {
    const std::string prefix = std::string(r.name) + "\\";
    if (rest.rfind(prefix, 0) == 0) {
      RootKind = r.kind;
      rest = rest.substr(r.name.size());
      break;
    }
  }
  KeyPath = rest;
  QStringList parts = QString::fromStdString(rest).split('\\', Qt::SkipEmptyParts);
  // "\Software\<org>\<app>\...": that application's store; anything else
  // lives inside the Quarnet store under its own group.
  QString org = "Quarnet", app = "Zonda";
  QStringList group;
  if (parts.size() >= 3 && parts[0].compare("Software", Qt::CaseInsensitive) == 0) {
    org = parts[1];
    app = parts[2];
    group = parts.mid(3);
  } else {
    group = parts;
  }
  const QString file = StoreFile(UserScope(RootKind), org, app);
  // The file must be readable, and writable when keys are to be created.
  bool ok = !CreateKeys || Writable(file);
  settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
  if (!group.isEmpty()) settings_->beginGroup(group.join('/'));
  ok = ok && settings_->status() == QSettings::NoError;
  IsOpen = ok ? 1 : 0;
  Failed = ok ? 0 : 1;
  Changing = 0;
}

std::string TRegQZ::FileName() const { return settings_ ? settings_->fileName().toStdString() : std::string(); }

bool TRegQZ::Exists(const std::string& name) const {
  return settings_ && settings_->contains(QString::fromStdString(name));
}

void TRegQZ::Flush() {
  if (settings_ && IsOpen && !Failed) Commit();
}

bool TRegQZ::Commit() {
  settings_->sync();
  if (settings_->status() != QSettings::NoError) {
    Failed = 1;
    return false;
  }
  return true;
}

int32_t TRegQZ::ReadInteger(const std::string& name, int32_t defaultValue) {
  LastType = 1;
  if (!Failed && IsOpen && CreateKeys && !Exists(name)) WriteInteger(name, defaultValue);
  int32_t result = defaultValue;
  if (!Failed && IsOpen) {
    int32_t v = 0;
    if (ToInteger(settings_->value(QString::fromStdString(name)), v)) {
      result = v;
    } else {
      Failed = 1;
    }
  }
  LastInteger = result;
  return result;
}

std::string TRegQZ::ReadString(const std::string& name, const std::string& defaultValue) {
  LastType = 0;
  if (!Failed && IsOpen && CreateKeys && !Exists(name)) WriteString(name, defaultValue);
  std::string result = defaultValue;
  if (!Failed && IsOpen) {
    const QVariant v = settings_->value(QString::fromStdString(name));
    if (v.isValid() && v.canConvert<QString>()) {
      result = v.toString().toStdString();
    } else {
      Failed = 1;
    }
  }
  LastString = result;
  return result;
}

bool TRegQZ::ReadBool(const std::string& name, bool defaultValue) {
  LastType = 2;
  if (!Failed && IsOpen && CreateKeys && !Exists(name)) WriteBool(name, defaultValue);
  bool result = defaultValue;
  if (!Failed && IsOpen) {
    int32_t v = 0;
    if (ToInteger(settings_->value(QString::fromStdString(name)), v)) {
      result = v != 0;
    } else {
      Failed = 1;
    }
  }
  LastBool = result;
  return result;
}

void TRegQZ::WriteInteger(const std::string& name, int32_t value) {
  if (Failed || !IsOpen) return;
  settings_->setValue(QString::fromStdString(name), value);
  if (!settings_->isWritable()) Failed = 1;
}

void TRegQZ::WriteString(const std::string& name, const std::string& value) {
  if (Failed || !IsOpen) return;
  settings_->setValue(QString::fromStdString(name), QString::fromStdString(value));
  if (!settings_->isWritable()) Failed = 1;
}

void TRegQZ::WriteBool(const std::string& name, bool value) {
  // The registry's boolean form: a 32-bit integer 0 or 1.
  WriteInteger(name, value ? 1 : 0);
}

}  // namespace zonda
