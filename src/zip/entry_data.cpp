#include "zip/entry_data.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "zip/bytes.h"
#include "zip/extra_fields.h"
#include "zip/format.h"

namespace zip {

namespace {

// Read sizes: large enough that the file system and inflate run at full
// speed, small enough that memory stays flat whatever the archive holds.
constexpr std::size_t kInputChunk = 256 * 1024;
constexpr std::size_t kOutputChunk = 1024 * 1024;

// The CRC and sizes a local header states; ZIP64 sizes from its extra block.
struct LocalValues {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::uint64_t compressed = 0;
};

// In a local header the ZIP64 field holds both sizes when either is
// saturated. False when the block is malformed or that field too short.
bool TakeLocalZip64(const unsigned char* extra, std::size_t extra_len, LocalValues& v) {
  bool zip64_ok = true;
  const bool extra_ok = WalkExtra(extra, extra_len,
                                  [&](std::uint16_t id, const unsigned char* p, std::uint16_t len) {
    if (id != kExtraZip64) return;
    if (v.size != kEscape32 && v.compressed != kEscape32) return;
    if (len < zip64_field::kLocalSizes) {
      zip64_ok = false;
      return;
    }
    v.size = Get64(p);
    v.compressed = Get64(p + zip64_field::kValueSize);
  });
  return extra_ok && zip64_ok;
}

// With a data descriptor the header may leave CRC and sizes zero.
bool AgreesWithDirectory(const LocalValues& v, bool descriptor, const Entry& e) {
  return (v.crc == e.crc || (descriptor && v.crc == 0)) &&
         (v.size == e.size || (descriptor && v.size == 0)) &&
         (v.compressed == e.compressed_size || (descriptor && v.compressed == 0));
}

// Reads the entry's local header, checks it against the directory and
// answers where the data begins: `data_at` bytes past the header's start.
// The same read brings in as much of the data as fits `buffer` (for a small
// file, all of it): `buffered` bytes of data then wait at `buffer + data_at`.
bool LocateData(File& file, const Entry& e, unsigned char* buffer, std::size_t capacity,
                std::size_t& data_at, std::size_t& buffered) {
  // The entry's header, data and descriptor lie before its limit; a header
  // (at most 30 + 2 x 65535 bytes) always fits the buffer.
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, e.limit - e.offset));
  if (n < local::kSize || !file.ReadAt(e.offset, buffer, n)) return false;
  const unsigned char* h = buffer;
  if (Get32(h) != local::kSignature) return false;
  const std::uint16_t flags = Get16(h + local::kFlags);
  const std::uint16_t name_len = Get16(h + local::kNameLength);
  const std::uint16_t extra_len = Get16(h + local::kExtraLength);
  if ((flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0) return false;
  if (Get16(h + local::kMethod) != e.method || name_len != e.raw_name.size()) return false;
  const std::size_t header = local::kSize + name_len + extra_len;
  if (header > n) return false;  // runs past the entry's room
  const unsigned char* rest = h + local::kSize;
  if (std::memcmp(rest, e.raw_name.data(), name_len) != 0) return false;

  LocalValues v;
  v.crc = Get32(h + local::kCrc);
  v.size = Get32(h + local::kUncompressedSize);
  v.compressed = Get32(h + local::kCompressedSize);
  if (!TakeLocalZip64(rest + name_len, extra_len, v)) return false;
  if (!AgreesWithDirectory(v, (flags & kFlagDescriptor) != 0, e)) return false;

  // The header ends within the entry's room (header <= n), so the data
  // starts there too; it must also end there.
  if (e.compressed_size > e.limit - e.offset - header) return false;
  data_at = header;
  buffered = static_cast<std::size_t>(std::min<std::uint64_t>(n - header, e.compressed_size));
  return true;
}

// Hands a chunk to the sink, adding it to the running CRC.
bool Deliver(const unsigned char* data, std::size_t size, std::uint32_t& crc, const DataSink& sink) {
  if (size == 0) return true;
  crc = Crc(crc, data, size);
  return sink(data, size);
}

// The entry's data not read yet: what the header's read brought in first,
// then the rest from the file, chunk by chunk.
struct Pending {
  File& file;
  unsigned char* buffered;
  std::size_t buffered_size;
  std::uint64_t remaining;  // in the file, after the buffered part
  unsigned char* input;     // where inflate's input chunks go

  // Reads the next chunk of at most `capacity` bytes into `buffer`.
  bool Next(unsigned char* buffer, std::size_t capacity, std::size_t& n) {
    n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, capacity));
    if (!file.Read(buffer, n)) return false;
    remaining -= n;
    return true;
  }
  // Gives inflate the next input chunk; false when there is none left.
  bool Refill(z_stream& z) {
    std::size_t n = 0;
    if (remaining == 0 || !Next(input, kInputChunk, n)) return false;
    z.next_in = input;
    z.avail_in = static_cast<uInt>(n);
    return true;
  }
};

bool ReadStored(Pending& pending, unsigned char* out, const Entry& e, const DataSink& sink) {
  std::uint32_t crc = Crc(0, nullptr, 0);
  if (!Deliver(pending.buffered, pending.buffered_size, crc, sink)) return false;
  while (pending.remaining > 0) {
    std::size_t n = 0;
    if (!pending.Next(out, kOutputChunk, n) || !Deliver(out, n, crc, sink)) return false;
  }
  return crc == e.crc;
}

enum class Inflated { kFull, kEnded, kFailed };

// Inflates into the output room set in `z` until it is full or the stream
// ends, fetching input as it runs out: the chunk is filled before it is
// handed on, for fewer, larger writes.
Inflated InflateChunk(z_stream& z, Pending& pending) {
  for (;;) {
    const uInt before_in = z.avail_in;
    const uInt before_out = z.avail_out;
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) return Inflated::kEnded;
    if (r != Z_OK && r != Z_BUF_ERROR) return Inflated::kFailed;
    if (z.avail_out == 0) return Inflated::kFull;
    if (z.avail_in == 0) {
      // Out of input: the data must not end before the stream does.
      if (!pending.Refill(z)) return Inflated::kFailed;
    } else if (z.avail_in == before_in && z.avail_out == before_out) {
      return Inflated::kFailed;  // no progress with both input and room: corrupt
    }
  }
}

bool ReadDeflated(z_stream& z, Pending& pending, unsigned char* out, const Entry& e,
                  const DataSink& sink) {
  std::uint32_t crc = Crc(0, nullptr, 0);
  z.next_in = pending.buffered;
  z.avail_in = static_cast<uInt>(pending.buffered_size);
  std::uint64_t produced = 0;
  bool ended = false;
  while (!ended) {
    if (z.avail_in == 0 && pending.remaining > 0 && !pending.Refill(z)) return false;
    // Room for one byte past the declared size, so that a stream producing
    // more than the directory says is caught rather than cut short.
    const std::uint64_t room = e.size - produced + 1;
    z.next_out = out;
    z.avail_out = static_cast<uInt>(std::min<std::uint64_t>(room, kOutputChunk));
    const Inflated result = InflateChunk(z, pending);
    if (result == Inflated::kFailed) return false;
    ended = result == Inflated::kEnded;
    const std::size_t filled = static_cast<std::size_t>(z.next_out - out);
    produced += filled;
    if (produced > e.size || !Deliver(out, filled, crc, sink)) return false;
  }
  // The stream must end exactly where the directory says both its ends are.
  return produced == e.size && z.avail_in == 0 && pending.remaining == 0 && crc == e.crc;
}

}  // namespace

EntryReader::~EntryReader() {
  if (inflate_ready_) inflateEnd(&stream_);
}

z_stream* EntryReader::ReadyInflate() {
  if (!inflate_ready_) {
    stream_ = z_stream{};
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return nullptr;
    inflate_ready_ = true;
  } else if (inflateReset(&stream_) != Z_OK) {
    return nullptr;
  }
  return &stream_;
}

bool EntryReader::Read(File& file, const Entry& e, const DataSink& sink) {
  if (e.is_directory) return true;  // nothing to read
  if (!input_) input_.reset(new unsigned char[kInputChunk]);
  if (!output_) output_.reset(new unsigned char[kOutputChunk]);
  unsigned char* const in = input_.get();
  std::size_t data_at = 0;
  std::size_t buffered = 0;
  if (!LocateData(file, e, in, kInputChunk, data_at, buffered) ||
      !file.Seek(e.offset + data_at + buffered)) {
    return false;
  }
  Pending pending{file, in + data_at, buffered, e.compressed_size - buffered, in};
  if (e.method == kStored) return ReadStored(pending, output_.get(), e, sink);
  z_stream* const z = ReadyInflate();
  return z != nullptr && ReadDeflated(*z, pending, output_.get(), e, sink);
}

}  // namespace zip
