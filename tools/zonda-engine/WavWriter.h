#pragma once
// TWavWriter: writes a 16-bit 44100 Hz PCM WAV file of 2 or 4 channels with
// the 44-byte header, whose sizes are filled in by Close. Main thread of the
// tool only (the offline render loop).
#include <cstdint>
#include <cstdio>
#include <string>

namespace zonda::host {

class TWavWriter {
 public:
  TWavWriter() = default;
  ~TWavWriter();  // closes (finishing the header)
  TWavWriter(const TWavWriter&) = delete;
  TWavWriter& operator=(const TWavWriter&) = delete;

  // False when the file cannot be created.
  bool Open(const std::string& fileName, int32_t channels);
  // Appends frames of interleaved samples; false on a write error or when the
  // file would pass the 4 GB a WAV header can describe.
  bool Write(const int16_t* samples, int32_t frames);
  // Writes the header's sizes and closes; false on an I/O error.
  bool Close();
  int64_t DataBytes() const { return dataBytes_; }

 private:
  std::FILE* file_ = nullptr;
  int32_t channels_ = 2;
  int64_t dataBytes_ = 0;
  bool failed_ = false;
};

}  // namespace zonda::host
