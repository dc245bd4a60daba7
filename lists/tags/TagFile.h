#pragma once
// File access for the tag readers and writers: bounded reads, and the one way
// a tag write replaces a song file.
//
// A write never edits the song in place: the new content goes to a file named
// like the song with "~" appended, in the same folder, which is flushed to the
// disk and then renamed over the song. A crash or a failed write leaves the old
// song untouched; a failure removes the "~" file.
//
// Any thread (no shared state).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace zonda {

// Size of the file in bytes, or nothing when it cannot be opened.
std::optional<int64_t> TagFileSize(const std::string& fileName);

// Reads up to `count` bytes at `offset` into `out` (resized to what was read);
// false when the file cannot be opened or read.
bool ReadTagBytes(std::FILE* file, int64_t offset, std::size_t count, std::string& out);

// Copies `count` bytes (or up to the end when count is negative) from `in` at
// `offset` to `out`; false on any failure or a short copy.
bool CopyTagBytes(std::FILE* in, int64_t offset, int64_t count, std::FILE* out);

// A read-only stdio handle that closes itself.
class TTagReadFile {
 public:
  explicit TTagReadFile(const std::string& fileName);
  ~TTagReadFile();
  TTagReadFile(const TTagReadFile&) = delete;
  TTagReadFile& operator=(const TTagReadFile&) = delete;
  std::FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
};

// Replaces the file (a symbolic link's target) with what `write` puts into the
// stream it receives, through the "~" file, flush and rename. The new file
// keeps the old one's permissions with the owner allowed to write. `write`
// returns false to abandon the replacement. True when the file was replaced.
bool ReplaceTagFile(const std::string& fileName, const std::function<bool(std::FILE* out)>& write);

}  // namespace zonda
