#pragma once
// EAudioReadError: the one exception of the decoding units. The file reader
// raises it when a stream call fails; it leaves TDataProvider::ReadPCM (the
// decoder lock is released on the way out) and reaches the deck worker, which
// treats the chunk as short.
#include <stdexcept>
#include <string>

namespace zonda {

class EAudioReadError : public std::runtime_error {
 public:
  explicit EAudioReadError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zonda
