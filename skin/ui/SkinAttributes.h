#pragma once
// Attribute readers of the skin format, on the XML scanner's current tag.
//
// int:   optionally signed decimal; absent or not a number is -1, otherwise
//        multiplied by the skin scale and rounded half to even.
// size:  the same, rounded down (font sizes).
// color: "#RRGGBB" (or "$RRGGBB", or a decimal number) as 0xRRGGBB, returned
//        as the platform colour 0x00BBGGRR; absent or unreadable is black.
// flag:  "YES" in any case is true.
// align: "CENTER" / "RIGHT" in any case, else left.
// text:  the value as delivered, "" when absent.
//
// No Qt: the language loader reads its integers and texts the same way.
// Any thread (pure functions of the scanner's state).
#include <cstdint>
#include <string>
#include <string_view>

#include "skin/XmlParser.h"

namespace zonda {

int ReadSkinInteger(const TXmlParser& xml, std::string_view name, double scale = 1.0);
int ReadSkinSize(const TXmlParser& xml, std::string_view name, double scale = 1.0);
uint32_t ReadSkinColor(const TXmlParser& xml, std::string_view name);
bool ReadSkinFlag(const TXmlParser& xml, std::string_view name);
// 0 left, 1 centre, 2 right.
int ReadSkinAlign(const TXmlParser& xml, std::string_view name);
std::string ReadSkinText(const TXmlParser& xml, std::string_view name);

// The colour rule on a bare text (for tests and callers without a scanner).
uint32_t ParseSkinColor(std::string_view text);

}  // namespace zonda
