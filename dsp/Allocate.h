#pragma once
// TAllocate: the process-wide pool of zero-initialised memory blocks the FFT
// filter engines take their buffers from.
//
// Get(bytes) hands out a free block of exactly that size if the pool has one;
// otherwise it first frees every block not in use, then allocates a new one.
// A block goes back to the pool (only marked free) when its TAllocate::Block
// handle is destroyed. Every block handed out is zero-filled.
//
// Threads: any thread, guarded by the pool's own lock. Get may allocate, so it
// belongs to construction (main thread, deck set-up), never the audio path.
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace zonda {

class TAllocate {
 public:
  // A block on loan from the pool; move-only; returns itself on destruction.
  class Block {
   public:
    Block() noexcept = default;
    ~Block() { Return(); }
    Block(Block&& other) noexcept : pool_(other.pool_), data_(other.data_), size_(other.size_) {
      other.pool_ = nullptr;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    Block& operator=(Block&& other) noexcept {
      if (this != &other) {
        Return();
        pool_ = other.pool_;
        data_ = other.data_;
        size_ = other.size_;
        other.pool_ = nullptr;
        other.data_ = nullptr;
        other.size_ = 0;
      }
      return *this;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    std::byte* data() const noexcept { return data_; }
    size_t size() const noexcept { return size_; }

   private:
    friend class TAllocate;
    Block(TAllocate* pool, std::byte* data, size_t size) noexcept : pool_(pool), data_(data), size_(size) {}
    void Return() noexcept {
      if (pool_ != nullptr) pool_->Release(data_);
      pool_ = nullptr;
      data_ = nullptr;
      size_ = 0;
    }
    TAllocate* pool_ = nullptr;
    std::byte* data_ = nullptr;
    size_t size_ = 0;
  };

  TAllocate() = default;
  // Blocks still on loan must be returned before the pool goes.
  ~TAllocate() = default;
  TAllocate(const TAllocate&) = delete;
  TAllocate& operator=(const TAllocate&) = delete;

  // The one pool of the process, made on first use.
  static TAllocate& Instance();

  // Any thread (not the audio thread). A zero-filled block of `bytes` bytes;
  // an empty block for 0 bytes. Throws std::bad_alloc when memory runs out.
  Block Get(size_t bytes);

  // Blocks held by the pool (in use or free), and those free. For tests.
  size_t BlockCount() const;
  size_t FreeCount() const;

 private:
  struct Entry {
    std::unique_ptr<std::byte[]> data;
    size_t size = 0;
    bool inUse = false;
  };
  void Release(std::byte* data) noexcept;

  mutable std::mutex lock_;
  std::vector<Entry> blocks_;
};

}  // namespace zonda
