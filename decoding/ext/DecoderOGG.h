#pragma once
// TDecoderOGG: Ogg Vorbis files through the Ogg library (libombrel.so,
// libvorbisfile inside), when the QuickTime library has not taken the file
// first. The adapter of TLibraryDecoder bound to libombrel.so from
// ProgramDir; without the library every Open fails.
//
// Thread: only under the decoder lock (DecoderLock.h).
#include "decoding/ext/LibraryDecoder.h"

namespace zonda {

class TDecoderOGG : public TLibraryDecoder {
 public:
  TDecoderOGG() : TLibraryDecoder(TDecoderLibrary::Ombrel()) {}
};

}  // namespace zonda
