#pragma once
// LV2 bundles for the host's tests: Debian's installed plug-ins, gathered into
// a private LV2_PATH folder (so a scan sees only what the test chose and stays
// quick), beside hand-written broken bundles.
//
//   test::Lv2Folder folder;
//   if (!folder.Link("fil4.lv2")) ZONDA_SKIP_OR_FAIL(...);
//   folder.WriteBundle("garbage.lv2", "manifest.ttl", "not turtle {");
//   folder.Use();                  // LV2_PATH = the folder until destruction
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zonda::test {

// Where Debian and local installs keep LV2 bundles.
inline const std::vector<std::string>& SystemLv2Folders() {
  static const std::vector<std::string> folders = {"/usr/lib/lv2", "/usr/local/lib/lv2", "/usr/lib/x86_64-linux-gnu/lv2"};
  return folders;
}

// The installed bundle folder called `name`, or an empty path.
inline std::filesystem::path FindSystemLv2Bundle(const std::string& name) {
  for (const std::string& folder : SystemLv2Folders()) {
    std::error_code ec;
    const std::filesystem::path bundle = std::filesystem::path(folder) / name;
    if (std::filesystem::is_directory(bundle, ec)) return bundle;
  }
  return {};
}

// x42's parametric equaliser: stereo (2 in, 2 out) and mono (1 in, 1 out), with a
// switchable low-pass ("LowPass", "LPfreq"). Debian package x42-plugins.
inline constexpr const char* kFil4Bundle = "fil4.lv2";
inline constexpr const char* kFil4Stereo = "http://gareus.org/oss/lv2/fil4#stereo";
inline constexpr const char* kFil4Mono = "http://gareus.org/oss/lv2/fil4#mono";

// Steve Harris's mono to stereo splitter: 1 audio input, 2 outputs. Debian package swh-lv2.
inline constexpr const char* kSplitBundle = "split-swh.lv2";
inline constexpr const char* kSplit = "http://plugin.org.uk/swh-plugins/split";

class Lv2Folder {
 public:
  Lv2Folder() = default;
  ~Lv2Folder() {
    if (!used_) return;
    if (previous_) ::setenv("LV2_PATH", previous_->c_str(), 1);
    else ::unsetenv("LV2_PATH");
  }
  Lv2Folder(const Lv2Folder&) = delete;
  Lv2Folder& operator=(const Lv2Folder&) = delete;

  // Links an installed bundle in; false when it is not installed.
  bool Link(const std::string& bundle) {
    const std::filesystem::path from = FindSystemLv2Bundle(bundle);
    if (from.empty()) return false;
    std::filesystem::create_directory_symlink(from, dir_.path() / bundle);
    return true;
  }
  void WriteBundle(const std::string& bundle, const std::string& file, const std::string& text) {
    std::filesystem::create_directories(dir_.path() / bundle);
    std::ofstream(dir_.path() / bundle / file) << text;
  }
  // Sets LV2_PATH to this folder alone, until destruction.
  void Use() {
    if (const char* was = std::getenv("LV2_PATH")) previous_ = was;
    ::setenv("LV2_PATH", dir_.path().c_str(), 1);
    used_ = true;
  }
  const std::filesystem::path& Path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::optional<std::string> previous_;
  bool used_ = false;
};

// A stereo effect description whose binary is not there.
inline constexpr const char* kMissingBinaryManifest = R"(
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<urn:zonda:test:missing-binary> a lv2:Plugin ; lv2:binary <missing.so> ; rdfs:seeAlso <missing.ttl> .
)";
inline constexpr const char* kMissingBinaryPlugin = R"(
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
<urn:zonda:test:missing-binary> a lv2:Plugin , lv2:FilterPlugin ;
  doap:name "Missing Binary" ;
  lv2:port [ a lv2:AudioPort , lv2:InputPort ; lv2:index 0 ; lv2:symbol "in_l" ; lv2:name "In L" ] ,
           [ a lv2:AudioPort , lv2:InputPort ; lv2:index 1 ; lv2:symbol "in_r" ; lv2:name "In R" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 2 ; lv2:symbol "out_l" ; lv2:name "Out L" ] ,
           [ a lv2:AudioPort , lv2:OutputPort ; lv2:index 3 ; lv2:symbol "out_r" ; lv2:name "Out R" ] .
)";

}  // namespace zonda::test
