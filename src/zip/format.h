#pragma once
// The zip format as this reader sees it: signatures, record sizes, and every
// field of the records it reads, by its offset in its record (the field's
// size in bytes in the comment). Values a field holds to say "see the ZIP64
// record or field" are named here too.
#include <cstddef>
#include <cstdint>

namespace zip {

// A saturated 16- or 32-bit field: the value is in the ZIP64 record or field.
constexpr std::uint16_t kEscape16 = 0xffff;
constexpr std::uint32_t kEscape32 = 0xffffffff;

// End of central directory record, followed by its comment.
namespace end_record {
constexpr std::uint32_t kSignature = 0x06054b50;  // PK\5\6
constexpr std::size_t kSize = 22;
constexpr std::size_t kMaxComment = 65535;
constexpr std::size_t kDisk = 4;              // 2: number of this disk
constexpr std::size_t kDirectoryDisk = 6;     // 2: disk where the directory starts
constexpr std::size_t kEntriesOnDisk = 8;     // 2
constexpr std::size_t kEntries = 10;          // 2: in the whole directory
constexpr std::size_t kDirectorySize = 12;    // 4
constexpr std::size_t kDirectoryOffset = 16;  // 4: relative to the archive's start
constexpr std::size_t kCommentLength = 20;    // 2
}  // namespace end_record

// ZIP64 end of central directory locator, right before the end record.
namespace zip64_locator {
constexpr std::uint32_t kSignature = 0x07064b50;  // PK\6\7
constexpr std::size_t kSize = 20;
constexpr std::size_t kRecordDisk = 4;    // 4: disk holding the ZIP64 end record
constexpr std::size_t kRecordOffset = 8;  // 8: of the ZIP64 end record
constexpr std::size_t kDiskCount = 16;    // 4
}  // namespace zip64_locator

// ZIP64 end of central directory record (version 1, without extensible data
// when it has its fixed size).
namespace zip64_end {
constexpr std::uint32_t kSignature = 0x06064b50;  // PK\6\6
constexpr std::size_t kSize = 56;
constexpr std::size_t kRecordSize = 4;        // 8: bytes after this field
constexpr std::size_t kSizeCountsFrom = 12;   // the signature and that field are not counted
constexpr std::size_t kMadeBy = 12;           // 2
constexpr std::size_t kVersionNeeded = 14;    // 2
constexpr std::size_t kDisk = 16;             // 4
constexpr std::size_t kDirectoryDisk = 20;    // 4
constexpr std::size_t kEntriesOnDisk = 24;    // 8
constexpr std::size_t kEntries = 32;          // 8
constexpr std::size_t kDirectorySize = 40;    // 8
constexpr std::size_t kDirectoryOffset = 48;  // 8
}  // namespace zip64_end

// Central directory record, followed by name, extra field and comment.
namespace central {
constexpr std::uint32_t kSignature = 0x02014b50;  // PK\1\2
constexpr std::size_t kSize = 46;
constexpr std::size_t kMadeBy = 4;               // 2: host system in the high byte
constexpr std::size_t kVersionNeeded = 6;        // 2
constexpr std::size_t kFlags = 8;                // 2
constexpr std::size_t kMethod = 10;              // 2
constexpr std::size_t kTime = 12;                // 2: DOS time
constexpr std::size_t kDate = 14;                // 2: DOS date
constexpr std::size_t kCrc = 16;                 // 4
constexpr std::size_t kCompressedSize = 20;      // 4
constexpr std::size_t kUncompressedSize = 24;    // 4
constexpr std::size_t kNameLength = 28;          // 2
constexpr std::size_t kExtraLength = 30;         // 2
constexpr std::size_t kCommentLength = 32;       // 2
constexpr std::size_t kDiskStart = 34;           // 2: disk holding the local header
constexpr std::size_t kInternalAttributes = 36;  // 2
constexpr std::size_t kExternalAttributes = 38;  // 4: host file mode in the high word
constexpr std::size_t kLocalHeaderOffset = 42;   // 4
}  // namespace central

// Local file header, followed by name, extra field and the data.
namespace local {
constexpr std::uint32_t kSignature = 0x04034b50;  // PK\3\4
constexpr std::size_t kSize = 30;
constexpr std::size_t kVersionNeeded = 4;      // 2
constexpr std::size_t kFlags = 6;              // 2
constexpr std::size_t kMethod = 8;             // 2
constexpr std::size_t kTime = 10;              // 2: DOS time
constexpr std::size_t kDate = 12;              // 2: DOS date
constexpr std::size_t kCrc = 14;               // 4
constexpr std::size_t kCompressedSize = 18;    // 4
constexpr std::size_t kUncompressedSize = 22;  // 4
constexpr std::size_t kNameLength = 26;        // 2
constexpr std::size_t kExtraLength = 28;       // 2
}  // namespace local

// General purpose flags.
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagMaskedDirectory = 0x2000;  // only written by encrypting tools

// Compression methods.
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

// Hosts that keep a Unix file mode in the external attributes' high word.
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostMacOs = 19;
constexpr std::uint32_t kModeTypeMask = 0170000;
constexpr std::uint32_t kModeSymbolicLink = 0120000;

// Extra fields: each one's data follows its id and length.
namespace extra {
constexpr std::size_t kId = 0;      // 2
constexpr std::size_t kLength = 2;  // 2: of the data
constexpr std::size_t kHeaderSize = 4;
}  // namespace extra
constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraNtfs = 0x000a;
constexpr std::uint16_t kExtraTimestamp = 0x5455;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;

// ZIP64 field: uncompressed size, compressed size, local header offset and
// disk, each present only when its short field is saturated, in this order.
// In a local header both sizes are there when either is saturated.
namespace zip64_field {
constexpr std::size_t kValueSize = 8;    // a size or the offset
constexpr std::size_t kDiskSize = 4;
constexpr std::size_t kLocalSizes = 16;  // uncompressed, then compressed
}  // namespace zip64_field

// Info-ZIP Unicode path field.
namespace unicode_path {
constexpr std::size_t kVersion = 0;  // 1: 1 is the only one
constexpr std::size_t kNameCrc = 1;  // 4: of the header's name it stands for
constexpr std::size_t kName = 5;     // UTF-8, to the field's end
}  // namespace unicode_path

// Extended timestamp field.
namespace timestamp {
constexpr std::size_t kFlags = 0;     // 1: bit 0, the modification time is there
constexpr std::size_t kModified = 1;  // 4: seconds since 1970, UTC
constexpr std::size_t kMinLength = 5;
}  // namespace timestamp

// NTFS field: 4 reserved bytes, then attributes, each a 2-byte tag and a
// 2-byte length before its data; tag 1 holds three FILETIMEs, modification
// time first.
namespace ntfs {
constexpr std::size_t kAttributes = 4;
constexpr std::size_t kTag = 0;        // 2: of an attribute
constexpr std::size_t kTagLength = 2;  // 2: of its data
constexpr std::size_t kAttributeHeaderSize = 4;
constexpr std::uint16_t kTagTimes = 1;
constexpr std::size_t kFileTimeSize = 8;
}  // namespace ntfs

}  // namespace zip
