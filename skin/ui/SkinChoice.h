#pragma once
// Which skin of the list to start with, and whether a skin fits the screen.
//
// At start-up the saved "SkinNumber" picks the entry; -1 (nothing saved)
// means the default "ZC2000 BLUE (1024x768)", and a screen narrower than
// 1024 pixels always gets "Orvel green (800x600)". A saved index below 0
// becomes 0, one past the end the last entry. Returns -1 for an empty list.
//
// Pure functions, any thread.
#include <string>
#include <vector>

#include "skin/ui/TSkinLoader.h"

namespace zonda {

inline constexpr const char* kDefaultSkin = "ZC2000 BLUE (1024x768)";
inline constexpr const char* kSmallScreenSkin = "Orvel green (800x600)";

int ChooseStartSkin(const std::vector<TDataSkin>& skins, int savedNumber, int screenWidth);

// The refusal text of the configuration dialog's skin selector when the skin
// is wider than the screen, or "" when it fits. `languageText` is the
// language's "config_skinrequireshigherres" (may be empty).
std::string SkinFitMessage(const TDataSkin& skin, int screenWidth, const std::string& languageText);

}  // namespace zonda
