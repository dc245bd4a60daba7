#pragma once
// TDecoderCDA: one audio track of a compact disc as deck PCM (CD-DA is
// 44100 Hz, 16-bit stereo already: no conversion follows).
//
// A track is named "<drive>/TrackNN.cda": the drive is an optical device
// (/dev/sr0) or a disc image libcdio opens (BIN/CUE, NRG), and NN the track
// number (TrackXY gives track 1). The table of contents gives the track's
// first sector and the next track's (or the lead-out's); the last sector of
// a track is not played. Reads take whole 2352-byte sectors, 18 to a
// request; a sector that cannot be read stays silent. Drives are read
// through libcdio-paranoia (jitter correction, error recovery); images
// directly.
//
//   TDecoderCDA cd;
//   if (cd.Open("/dev/sr0/Track03.cda")) cd.ReadAt(0, buffer, 1058400);
//
// Thread: the decoder front calls it WITHOUT the shared decoder lock (a slow
// or stuck drive must not hold up the other deck's decoding); this decoder
// keeps its own lock, held for each call. It uses no shared scratch buffer.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "decoding/core/AudioDecoder.h"

namespace zonda {

inline constexpr int32_t kCDSectorBytes = 2352;   // 588 deck frames
inline constexpr int32_t kCDSectorsPerRequest = 18;

// "…/Track07.cda" -> 7; 1 when the two characters before ".cda" are not digits.
int32_t CDTrackNumberFromName(const std::string& fileName);
// The drive or image part of a track name (everything before the last '/').
std::string CDDriveFromName(const std::string& fileName);
// A ".cda" name whose drive or image exists (the track itself is no file).
bool LooksLikeCDTrack(const std::string& fileName);
// The system's optical drives (/dev/sr0 ...), whether or not they hold a disc.
std::vector<std::string> CDDrives();
// "<drive>/TrackNN.cda" for each audio track of the disc or image; empty
// without a readable disc.
std::vector<std::string> CDTrackNames(const std::string& drive);

class TDecoderCDA : public TAudioDecoder {
 public:
  TDecoderCDA();
  ~TDecoderCDA() override;
  TDecoderCDA(const TDecoderCDA&) = delete;
  TDecoderCDA& operator=(const TDecoderCDA&) = delete;

  bool Open(const std::string& fileName) override;
  int32_t PCMSize() const override;
  int32_t ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) override;
  void Close() override;
  WAVEFORMATEX OutputFormat() const override;

  int32_t TrackNumber() const { return track_; }
  int32_t FirstSector() const { return firstSector_; }
  int32_t LastSector() const { return lastSector_; }

 protected:
  // Reads count sectors from lsn into destination (count x 2352 bytes);
  // false when they could not be read (the caller leaves them silent).
  // Runs under this decoder's lock; tests override it to stall or fail.
  virtual bool ReadSectors(int32_t lsn, int32_t count, uint8_t* destination);

 private:
  void CloseUnlocked();

  mutable std::mutex lock_;
  struct TDisc;
  TDisc* disc_ = nullptr;  // libcdio handles while open
  bool isOpen_ = false;
  int32_t track_ = 0;
  int32_t firstSector_ = 0;
  int32_t lastSector_ = 0;
};

}  // namespace zonda
