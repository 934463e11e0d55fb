#include "zip/file.h"

#include <algorithm>
#include <cstring>

namespace zip {

namespace {

// Large enough for many records per read, small enough to stay flat.
constexpr std::size_t kDirectoryChunk = 64 * 1024;

}  // namespace

bool File::Seek(std::uint64_t pos) {
  if (pos > size_) return false;
  pos_ = pos;
  return true;
}

bool File::ReadAt(std::uint64_t pos, void* dst, std::size_t n) {
  if (pos > size_ || n > size_ - pos) return false;
  if (n > 0 && !ReadFromFile(f_, pos, dst, n)) return false;
  pos_ = pos + n;
  return true;
}

SequentialReader::SequentialReader(File& file, std::uint64_t start, std::uint64_t end)
    : file_(file), next_(start), end_(end), buffer_(new unsigned char[kDirectoryChunk]) {}

bool SequentialReader::Read(void* dst, std::size_t n) {
  unsigned char* out = static_cast<unsigned char*>(dst);
  while (n > 0) {
    if (used_ == filled_ && !Fill()) return false;
    const std::size_t take = std::min(n, filled_ - used_);
    if (out != nullptr) {
      std::memcpy(out, buffer_.get() + used_, take);
      out += take;
    }
    used_ += take;
    n -= take;
  }
  return true;
}

bool SequentialReader::Fill() {
  if (next_ >= end_) return false;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kDirectoryChunk, end_ - next_));
  if (!file_.ReadAt(next_, buffer_.get(), n)) return false;
  next_ += n;
  used_ = 0;
  filled_ = n;
  return true;
}

}  // namespace zip
