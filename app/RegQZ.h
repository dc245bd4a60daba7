#pragma once
// TRegQZ: the settings store. A small wrapper around the per-user settings
// (QSettings, organisation "Quarnet", application "Zonda": an INI file under
// $XDG_CONFIG_HOME on Linux, the registry on Windows) that opens one key for
// the whole run, reads typed values with a default that is written back when
// the value is missing, and stops touching the store for the rest of the run
// after its first failure (a key that cannot be opened, a value of the wrong
// type, a write that does not reach the file).
//
//   TRegQZ reg;
//   reg.SetRootKind(2);                          // current user
//   reg.SetKeyPath("\\Software\\Quarnet\\Zonda");
//   int range = reg.ReadInteger("PitchRange", 3); // 3 is stored when missing
//   reg.WriteBool("AutoDj", false);
//
// Key paths are written the registry's way. "\Software\<org>\<app>" selects
// that organisation's application store; anything further down is a group
// inside it. A path starting with a root name ("HKEY_LOCAL_MACHINE\...")
// switches to that root. Kinds 0, 1, 3 and 5 (machine-wide roots) map to the
// system scope, 2 and 4 to the user scope.
//
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>

class QSettings;

namespace zonda {

class TRegQZ {
 public:
  TRegQZ();
  ~TRegQZ();
  TRegQZ(const TRegQZ&) = delete;
  TRegQZ& operator=(const TRegQZ&) = delete;

  // Kinds 0..5 as in the registry: 0 and 3 local machine, 1 classes root,
  // 2 current user, 4 users, 5 current config; others are ignored.
  void SetRootKind(int kind);
  // Closes the key, takes a leading root name, opens (creating when
  // CreateKeys) the key; Failed := the open failed.
  void SetKeyPath(const std::string& path);

  int32_t ReadInteger(const std::string& name, int32_t defaultValue);
  std::string ReadString(const std::string& name, const std::string& defaultValue);
  bool ReadBool(const std::string& name, bool defaultValue);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteString(const std::string& name, const std::string& value);
  void WriteBool(const std::string& name, bool value);

  // Writes what is pending through to the file (also done by the next
  // SetKeyPath and the destructor); a write that fails sets Failed.
  void Flush();
  // The file behind the open key ("" when none is open).
  std::string FileName() const;

  uint8_t RootKind = 3;
  std::string KeyPath = "\\Software";
  uint8_t CreateKeys = 1;
  uint8_t IsOpen = 0;
  uint8_t Changing = 0;
  uint8_t Failed = 0;
  uint8_t LastType = 0;  // 0 string, 1 integer, 2 boolean
  int32_t LastInteger = 0;
  std::string LastString;
  bool LastBool = false;

 private:
  bool Exists(const std::string& name) const;
  bool Commit();  // sync; false (and Failed) when the file was not written
  void Close();

  std::unique_ptr<QSettings> settings_;
};

}  // namespace zonda
