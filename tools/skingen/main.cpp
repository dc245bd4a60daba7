// zonda-skingen OUTPUT_DIR [--preview]
//
// Draws the two default skins' picture sheets and writes their descriptions:
// OUTPUT_DIR/zc2000_blue.{bmp,xml} (1024 x 768) and
// OUTPUT_DIR/orvel_green.{bmp,xml} (800 x 600). With --preview it also saves
// each window background as a PNG next to them, for checking the artwork.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/skingen/SkinLayout.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zonda-skingen OUTPUT_DIR [--preview]\n");
    return 2;
  }
  // The generator runs inside the build: no display needed.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const std::filesystem::path out = argv[1];
  const bool preview = argc > 2 && std::strcmp(argv[2], "--preview") == 0;
  std::error_code ec;
  std::filesystem::create_directories(out, ec);

  struct Skin {
    const char* base;
    zonda::skingen::Theme theme;
    int width, height;
  };
  for (const Skin& skin : {Skin{"zc2000_blue", zonda::skingen::Zc2000Blue(), 1024, 768},
                           Skin{"orvel_green", zonda::skingen::OrvelGreen(), 800, 600}}) {
    zonda::skingen::SkinSheet probe(skin.theme, skin.width, skin.height);
    zonda::skingen::LayoutDefaultSkin(probe);
    zonda::skingen::SkinSheet sheet(skin.theme, skin.width, skin.height, probe.SmallRowsUsed());
    zonda::skingen::LayoutDefaultSkin(sheet);
    const std::string base = (out / skin.base).string();
    if (!sheet.Save(base)) {
      std::fprintf(stderr, "zonda-skingen: cannot write %s.bmp / .xml\n", base.c_str());
      return 1;
    }
    if (preview) sheet.Background().save(QString::fromStdString(base + "-background.png"));
  }
  return 0;
}
