#include "lists/tags/TagLibFields.h"

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>

#include <initializer_list>

namespace zonda {

namespace {

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }

// The first value of the first of the property names that has one.
std::string Property(const TagLib::PropertyMap& map, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const auto it = map.find(name);
    if (it != map.end() && !it->second.isEmpty()) return Utf8(it->second.front());
  }
  return {};
}

}  // namespace

bool ReadTagLibFields(const std::string& fileName, TTagFields& out) {
  TagLib::FileRef ref(fileName.c_str(), false);
  if (ref.isNull() || !ref.tag()) return false;
  const TagLib::Tag& tag = *ref.tag();
  out.Title = Utf8(tag.title());
  out.Artist = Utf8(tag.artist());
  out.Album = Utf8(tag.album());
  out.Comment = Utf8(tag.comment());
  out.Genre = Utf8(tag.genre());
  if (tag.year() != 0) out.Year = std::to_string(tag.year());
  if (tag.track() != 0) out.Track = std::to_string(tag.track());
  const TagLib::PropertyMap props = ref.file()->properties();
  out.Composer = Property(props, {"COMPOSER"});
  out.Encoder = Property(props, {"ENCODEDBY", "ENCODER", "ENCODING"});
  out.RightsNotice = Property(props, {"COPYRIGHT"});
  out.Language = Property(props, {"LANGUAGE"});
  out.Link = Property(props, {"URL"});
  const TagLib::Ogg::XiphComment* xiph = nullptr;
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(ref.file())) {
    if (flac->hasXiphComment()) xiph = flac->xiphComment();
  } else {
    xiph = dynamic_cast<const TagLib::Ogg::XiphComment*>(ref.tag());
  }
  if (xiph) out.Vendor = Utf8(xiph->vendorID());
  return true;
}

}  // namespace zonda
