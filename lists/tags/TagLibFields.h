#pragma once
// The thirteen fields of a file TagLib reads (FLAC, MP4, Opus, WMA, AIFF, WAV,
// and Ogg streams of any codec), before cleaning. Any thread.
#include <string>

#include "lists/tags/TagFields.h"

namespace zonda {

// True when TagLib recognised the file and found a tag.
bool ReadTagLibFields(const std::string& fileName, TTagFields& out);

}  // namespace zonda
