// Fuzzes the tag readers (ID3v1, ID3v2, Vorbis comments) on arbitrary bytes,
// and the save path on the files they accept: a save either fails and leaves
// the file as it was, or succeeds and gives a file the readers take back with
// the edited title.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "lists/tags/ID3v1.h"
#include "lists/tags/ID3v2.h"
#include "lists/tags/OggVorbis.h"
#include "lists/tags/TagEdit.h"
#include "lists/tags/TagFields.h"

namespace {

const std::string& Folder() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string& folder = *new std::string([] {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const std::filesystem::path dir = base / ("zonda-fuzz-tags-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return dir.string();
  }());
  return folder;
}

bool WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string ReadFile(const std::string& name) {
  std::string s;
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

void CheckSave(const std::string& file, const std::string& original) {
  zonda::TTagEdit edit;
  edit.Title = "Fuzzed title";
  if (!zonda::SaveTagEdit(file, edit)) {
    if (ReadFile(file) != original) std::abort();  // a failed save changed the file
    return;
  }
  if (zonda::ReadTagFields(file).Title != "Fuzzed title" && zonda::TagFileExtension(file) == ".mp3") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zonda::TID3v1 v1;
  if (size >= 128) v1.ReadFromBytes(bytes.substr(size - 128));
  (void)v1.GenreName();
  zonda::TID3v2 v2;
  v2.ReadFromBytes(bytes, static_cast<int64_t>(size));
  if (v2.Size < 0 || v2.Size > static_cast<int64_t>(size)) std::abort();

  const std::string mp3 = Folder() + "/in.mp3";
  const std::string ogg = Folder() + "/in.ogg";
  if (!WriteFile(mp3, data, size) || !WriteFile(ogg, data, size)) return 0;
  zonda::TOggVorbis vorbis;
  const bool isOgg = vorbis.ReadFromFile(ogg);
  (void)vorbis.Valid();
  (void)zonda::ReadTagFields(mp3);
  (void)zonda::ReadTagFields(ogg);
  const std::string original(bytes);
  CheckSave(mp3, original);
  if (isOgg) CheckSave(ogg, original);
  return 0;
}
