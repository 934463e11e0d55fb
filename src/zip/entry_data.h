#pragma once
// An entry's data: its local header checked against the directory, then
// stored or deflated data streamed out in bounded chunks, its size and
// CRC-32 checked on the way.
#include <zlib.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "zip/entry.h"
#include "zip/file.h"

namespace zip {

using DataSink = std::function<bool(const void* data, std::size_t size)>;

// Reads entries one after another. The buffers and the inflate state are
// reused across entries: allocating (and zeroing) a megabyte per small file
// would cost more than inflating it.
class EntryReader {
 public:
  EntryReader() = default;
  ~EntryReader();
  EntryReader(const EntryReader&) = delete;
  EntryReader& operator=(const EntryReader&) = delete;

  // False when the data is corrupt, truncated, or the sink returned false;
  // the sink may then have received part of the data.
  bool Read(File& file, const Entry& entry, const DataSink& sink);

 private:
  // The inflate state, made once and reset for every further entry.
  z_stream* ReadyInflate();

  std::unique_ptr<unsigned char[]> input_;
  std::unique_ptr<unsigned char[]> output_;
  z_stream stream_{};
  bool inflate_ready_ = false;
};

}  // namespace zip
