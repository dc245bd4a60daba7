// Feeds arbitrary bytes to TXmlParser and reads every part the way the skin,
// language and shortcut loaders do. Beyond not crashing, it checks that the
// scanner always moves forward and that every attribute value is valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "skin/LanguageTables.h"
#include "skin/TextCoding.h"
#include "skin/XmlParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zonda::TXmlParser xml;
  xml.OpenBuffer(bytes, "fuzz");
  for (int pass = 0; pass < 2; ++pass) {
    xml.RewindScan();
    std::size_t parts = 0;
    while (xml.NextPart()) {
      if (++parts > size + 1) std::abort();  // a part that consumed nothing
      if (xml.PartKind() != zonda::TPartKind::StartTag && xml.PartKind() != zonda::TPartKind::EmptyElementTag) {
        continue;
      }
      for (const zonda::TAttr& a : xml.Attributes()) {
        if (!zonda::IsValidUtf8(a.Value)) std::abort();
        if (xml.AttributeValue(a.Name).empty() != a.Value.empty() && xml.Attributes().Count() == 1) std::abort();
        (void)zonda::TLanguageTables::ExpandLineBreaks(a.Value);
      }
      (void)xml.AttributeInteger("targetversion");
      (void)xml.AttributeValue("action");
    }
    if (xml.NextPart()) std::abort();  // stays at the end
  }
  return 0;
}
