#include "skin/ui/SkinChoice.h"

namespace zonda {

namespace {
int FindByText(const std::vector<TDataSkin>& skins, const char* text) {
  for (size_t i = 0; i < skins.size(); ++i)
    if (skins[i].DisplayText == text) return int(i);
  return -1;
}
}  // namespace

int ChooseStartSkin(const std::vector<TDataSkin>& skins, int savedNumber, int screenWidth) {
  if (skins.empty()) return -1;
  int n = savedNumber;
  if (n == -1) n = FindByText(skins, kDefaultSkin);
  if (screenWidth < 1024) {
    const int small = FindByText(skins, kSmallScreenSkin);
    if (small >= 0) n = small;
  }
  if (n < 0) n = 0;
  if (n >= int(skins.size())) n = int(skins.size()) - 1;
  return n;
}

std::string SkinFitMessage(const TDataSkin& skin, int screenWidth, const std::string& languageText) {
  if (screenWidth >= skin.Width) return {};
  return languageText.empty() ? "This skin requires a higher screen resolution !" : languageText;
}

}  // namespace zonda
