#include "lists/tags/TagFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace zonda {

std::optional<int64_t> TagFileSize(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

bool ReadTagBytes(std::FILE* file, int64_t offset, std::size_t count, std::string& out) {
  out.clear();
  if (!file || offset < 0 || ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  out.resize(count);
  const std::size_t got = count == 0 ? 0 : std::fread(out.data(), 1, count, file);
  out.resize(got);
  return !std::ferror(file);
}

bool CopyTagBytes(std::FILE* in, int64_t offset, int64_t count, std::FILE* out) {
  if (::fseeko(in, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  std::vector<char> buffer(1 << 16);
  int64_t left = count;
  while (count < 0 || left > 0) {
    const std::size_t want = count < 0 ? buffer.size() : static_cast<std::size_t>(std::min<int64_t>(left, buffer.size()));
    const std::size_t got = std::fread(buffer.data(), 1, want, in);
    if (got > 0 && std::fwrite(buffer.data(), 1, got, out) != got) return false;
    left -= static_cast<int64_t>(got);
    if (got < want) return !std::ferror(in) && count < 0;
  }
  return true;
}

TTagReadFile::TTagReadFile(const std::string& fileName) {
  if (TagFileSize(fileName)) file_ = std::fopen(fileName.c_str(), "rb");
}

TTagReadFile::~TTagReadFile() {
  if (file_) std::fclose(file_);
}

bool ReplaceTagFile(const std::string& fileName, const std::function<bool(std::FILE* out)>& write) {
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::canonical(fileName, ec);
  if (ec) return false;
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const std::string temp = target.string() + "~";
  const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  ::fchmod(fd, mode);  // the umask must not narrow the song's permissions
  std::FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = write(out);
  ok = std::fflush(out) == 0 && ok;
  ok = ok && ::fsync(fd) == 0;
  ok = std::fclose(out) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace zonda
