#include "decoding/cda/DecoderCDA.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zonda {
namespace {

// Paranoia retries a sector this often before it gives up and the sector
// stays silent: a damaged disc must not stall the deck for long.
constexpr int kParanoiaRetries = 3;

// libcdio reports to stderr by default; its warnings (an image's odd CUE
// line, a drive without media) are the caller's refusals here.
void QuietLog(cdio_log_level_t, const char*) {}

void NoParanoiaCallback(long, paranoia_cb_mode_t) {}

bool EndsWithCda(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".CDA";
}

}  // namespace

struct TDecoderCDA::TDisc {
  CdIo_t* cdio = nullptr;
  cdrom_drive_t* drive = nullptr;      // drives only: paranoia's view of the drive
  cdrom_paranoia_t* paranoia = nullptr;
};

int32_t CDTrackNumberFromName(const std::string& fileName) {
  if (fileName.size() < 6) return 1;
  const char a = fileName[fileName.size() - 6];
  const char b = fileName[fileName.size() - 5];
  if (!std::isdigit(static_cast<unsigned char>(a)) || !std::isdigit(static_cast<unsigned char>(b))) return 1;
  return (a - '0') * 10 + (b - '0');
}

std::string CDDriveFromName(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash);
}

// libcdio's own messages stay quiet wherever it is called first.
static void QuietenLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler(QuietLog); });
}

bool LooksLikeCDTrack(const std::string& fileName) {
  const std::string drive = CDDriveFromName(fileName);
  std::error_code ec;
  return EndsWithCda(fileName) && !drive.empty() && std::filesystem::exists(std::filesystem::u8path(drive), ec);
}

std::vector<std::string> CDDrives() {
  QuietenLibrary();
  std::vector<std::string> drives;
  char** list = cdio_get_devices(DRIVER_DEVICE);
  for (char** d = list; d != nullptr && *d != nullptr; ++d) drives.emplace_back(*d);
  if (list != nullptr) cdio_free_device_list(list);
  return drives;
}

std::vector<std::string> CDTrackNames(const std::string& drive) {
  QuietenLibrary();
  std::vector<std::string> names;
  std::error_code ec;
  if (drive.empty() || !std::filesystem::exists(std::filesystem::u8path(drive), ec)) return names;
  CdIo_t* cdio = cdio_open(drive.c_str(), cdio_is_device(drive.c_str(), DRIVER_DEVICE) ? DRIVER_DEVICE : DRIVER_UNKNOWN);
  if (cdio == nullptr) return names;
  const track_t first = cdio_get_first_track_num(cdio), last = cdio_get_last_track_num(cdio);
  if (first != CDIO_INVALID_TRACK && last != CDIO_INVALID_TRACK) {
    for (int t = first; t <= last && t <= 99; ++t) {
      if (cdio_get_track_format(cdio, static_cast<track_t>(t)) != TRACK_FORMAT_AUDIO) continue;
      char name[16];
      std::snprintf(name, sizeof name, "/Track%02d.cda", t);
      names.push_back(drive + name);
    }
  }
  cdio_destroy(cdio);
  return names;
}

TDecoderCDA::TDecoderCDA() { QuietenLibrary(); }

TDecoderCDA::~TDecoderCDA() { Close(); }

bool TDecoderCDA::Open(const std::string& fileName) {
  std::lock_guard guard(lock_);
  if (isOpen_ || !LooksLikeCDTrack(fileName)) return false;
  const std::string drive = CDDriveFromName(fileName);
  const int32_t track = CDTrackNumberFromName(fileName);

  auto disc = std::make_unique<TDisc>();
  const bool device = cdio_is_device(drive.c_str(), DRIVER_DEVICE);
  disc->cdio = cdio_open(drive.c_str(), device ? DRIVER_DEVICE : DRIVER_UNKNOWN);
  if (disc->cdio == nullptr) return false;
  auto fail = [&disc] {
    if (disc->cdio) cdio_destroy(disc->cdio);
    return false;
  };
  const track_t first = cdio_get_first_track_num(disc->cdio);
  const track_t last = cdio_get_last_track_num(disc->cdio);
  if (first == CDIO_INVALID_TRACK || last == CDIO_INVALID_TRACK || track < first || track > last) return fail();
  if (cdio_get_track_format(disc->cdio, static_cast<track_t>(track)) != TRACK_FORMAT_AUDIO) return fail();
  const lsn_t start = cdio_get_track_lsn(disc->cdio, static_cast<track_t>(track));
  const lsn_t next = cdio_get_track_lsn(
      disc->cdio, static_cast<track_t>(track == last ? CDIO_CDROM_LEADOUT_TRACK : track + 1));
  if (start == CDIO_INVALID_LSN || next == CDIO_INVALID_LSN || next <= start) return fail();

  if (device) {
    // A real drive: paranoia corrects jitter and retries damaged sectors.
    disc->drive = cdio_cddap_identify_cdio(disc->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (disc->drive != nullptr && cdio_cddap_open(disc->drive) == 0) {
      disc->paranoia = cdio_paranoia_init(disc->drive);
      if (disc->paranoia) cdio_paranoia_modeset(disc->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    if (disc->paranoia == nullptr && disc->drive != nullptr) {
      cdio_cddap_close_no_free_cdio(disc->drive);
      disc->drive = nullptr;
    }
  }
  disc_ = disc.release();
  track_ = track;
  firstSector_ = start;
  lastSector_ = next - 1;
  isOpen_ = true;
  return true;
}

int32_t TDecoderCDA::PCMSize() const {
  std::lock_guard guard(lock_);
  if (!isOpen_) return 0;
  const int64_t size = int64_t(lastSector_ - firstSector_) * kCDSectorBytes;
  return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX / kCDSectorBytes * kCDSectorBytes));
}

WAVEFORMATEX TDecoderCDA::OutputFormat() const { return InitPCMFormat(16, 2, 44100); }

bool TDecoderCDA::ReadSectors(int32_t lsn, int32_t count, uint8_t* destination) {
  if (disc_ == nullptr || disc_->cdio == nullptr) return false;
  if (disc_->paranoia != nullptr) {
    cdio_paranoia_seek(disc_->paranoia, lsn, SEEK_SET);
    for (int32_t k = 0; k < count; ++k) {
      const int16_t* sector = cdio_paranoia_read_limited(disc_->paranoia, NoParanoiaCallback, kParanoiaRetries);
      if (sector == nullptr) return false;
      std::memcpy(destination + size_t(k) * kCDSectorBytes, sector, kCDSectorBytes);
    }
    return true;
  }
  return cdio_read_audio_sectors(disc_->cdio, destination, lsn, static_cast<uint32_t>(count)) == DRIVER_OP_SUCCESS;
}

int32_t TDecoderCDA::ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) {
  std::lock_guard guard(lock_);
  if (!isOpen_ || buffer == nullptr || countBytes <= 0 || positionBytes < 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  std::memset(out, 0, static_cast<size_t>(countBytes));
  // The read starts at the start of the position's sector.
  const int32_t sector = firstSector_ + (positionBytes / 4) / 588;
  const int32_t sectors = countBytes / kCDSectorBytes;
  for (int32_t done = 0; done < sectors; done += kCDSectorsPerRequest) {
    const int32_t n = std::min(kCDSectorsPerRequest, sectors - done);
    uint8_t* at = out + size_t(done) * kCDSectorBytes;
    // A failed request stays silent; the read still reports the full count.
    if (!ReadSectors(sector + done, n, at)) std::memset(at, 0, size_t(n) * kCDSectorBytes);
  }
  return countBytes;
}

void TDecoderCDA::CloseUnlocked() {
  if (disc_ != nullptr) {
    if (disc_->paranoia) cdio_paranoia_free(disc_->paranoia);
    if (disc_->drive) cdio_cddap_close_no_free_cdio(disc_->drive);
    if (disc_->cdio) cdio_destroy(disc_->cdio);
    delete disc_;
    disc_ = nullptr;
  }
  isOpen_ = false;
  track_ = firstSector_ = lastSector_ = 0;
}

void TDecoderCDA::Close() {
  std::lock_guard guard(lock_);
  CloseUnlocked();
}

}  // namespace zonda
