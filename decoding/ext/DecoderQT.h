#pragma once
// TDecoderQT: plays whatever the QuickTime library (libquelmo.so, FFmpeg
// inside) can decode: M4A/MP4 (AAC, ALAC), FLAC, Opus, AAC, and every other
// type the front offers it first. The adapter of TLibraryDecoder bound to
// libquelmo.so from ProgramDir; without the library every Open fails.
//
// Thread: only under the decoder lock (DecoderLock.h).
#include "decoding/ext/LibraryDecoder.h"

namespace zonda {

class TDecoderQT : public TLibraryDecoder {
 public:
  TDecoderQT() : TLibraryDecoder(TDecoderLibrary::Quelmo()) {}
};

}  // namespace zonda
