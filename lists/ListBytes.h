#pragma once
// Little-endian byte writer and bounded reader for the list files. The reader
// never reads past its input and refuses strings and counts that the input
// cannot hold, so a damaged file gives a ListFormatError, never a huge allocation.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zonda {

struct ListFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Longest string a list file may hold (a cell, caption or font name).
inline constexpr uint32_t kListMaxString = 1u << 20;

class TListWriter {
 public:
  void I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    const char b[4] = {static_cast<char>(u & 0xff), static_cast<char>((u >> 8) & 0xff),
                       static_cast<char>((u >> 16) & 0xff), static_cast<char>((u >> 24) & 0xff)};
    out_.append(b, 4);
  }
  void Byte(bool v) { out_.push_back(v ? 1 : 0); }
  void Str(std::string_view s) {
    I32(static_cast<int32_t>(s.size()));
    out_.append(s);
  }
  std::string& Out() { return out_; }

 private:
  std::string out_;
};

class TListReader {
 public:
  explicit TListReader(std::string_view in) : in_(in) {}
  size_t Remaining() const { return in_.size() - at_; }
  int32_t I32() {
    Need(4, "number");
    const auto* p = reinterpret_cast<const unsigned char*>(in_.data() + at_);
    at_ += 4;
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
  }
  bool Byte() {
    Need(1, "flag");
    return in_[at_++] != 0;
  }
  std::string Str() {
    const int32_t n = I32();
    if (n < 0 || static_cast<uint32_t>(n) > kListMaxString)
      throw ListFormatError("string length " + std::to_string(n) + " out of range at byte " + std::to_string(at_ - 4));
    Need(static_cast<size_t>(n), "string");
    std::string s(in_.substr(at_, static_cast<size_t>(n)));
    at_ += static_cast<size_t>(n);
    return s;
  }
  // A count of records of at least minBytes each, checked against the input left.
  int32_t Count(const char* what, int32_t max, size_t minBytes) {
    const int32_t n = I32();
    if (n < 0 || n > max || (minBytes > 0 && static_cast<uint64_t>(n) * minBytes > Remaining()))
      throw ListFormatError(std::string(what) + " " + std::to_string(n) + " out of range at byte " +
                            std::to_string(at_ - 4));
    return n;
  }
  size_t Offset() const { return at_; }

 private:
  void Need(size_t n, const char* what) const {
    if (Remaining() < n)
      throw ListFormatError(std::string("file ends inside a ") + what + " at byte " + std::to_string(at_));
  }
  std::string_view in_;
  size_t at_ = 0;
};

}  // namespace zonda
