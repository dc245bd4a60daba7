#pragma once
// The layout of Zonda's default skins, in design units of a 1024 x 768 window:
// two decks on the sides, the mixer between them, the library below.
#include "tools/skingen/SkinSheet.h"

namespace zonda::skingen {

void LayoutDefaultSkin(SkinSheet& s);

Theme Zc2000Blue();
Theme OrvelGreen();

}  // namespace zonda::skingen
