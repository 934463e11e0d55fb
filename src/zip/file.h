#pragma once
// The archive file, read at explicit positions, and buffered sequential
// reads through a window of it for walking the central directory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"

namespace zip {

// Read continues where the last read ended.
class File {
 public:
  explicit File(const std::string& path) : f_(OpenInputFile(path, size_)) {}
  ~File() { CloseInputFile(f_); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool ok() const { return f_ != nullptr; }
  std::uint64_t size() const { return size_; }

  bool Seek(std::uint64_t pos);
  // Reads exactly `n` bytes at the current position.
  bool Read(void* dst, std::size_t n) { return ReadAt(pos_, dst, n); }
  bool ReadAt(std::uint64_t pos, void* dst, std::size_t n);

 private:
  std::uint64_t size_ = 0;
  InputFile* f_;
  std::uint64_t pos_ = 0;
};

// Sequential reads through [start, end) of the file.
class SequentialReader {
 public:
  SequentialReader(File& file, std::uint64_t start, std::uint64_t end);

  std::uint64_t remaining() const { return end_ - next_ + (filled_ - used_); }

  bool Read(void* dst, std::size_t n);
  bool Skip(std::size_t n) { return Read(nullptr, n); }

 private:
  bool Fill();

  File& file_;
  std::uint64_t next_;
  std::uint64_t end_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t filled_ = 0;
};

}  // namespace zip
