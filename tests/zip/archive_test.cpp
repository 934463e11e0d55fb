// The archive reader against archives made by Python's zipfile and by hand
// (tests/fixtures/archive_fixtures.py).
#include "zip/archive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Fixture(const std::string& name) { return std::string(QV_FIXTURE_DIR) + "/" + name; }

// The same text the fixture script writes with lines().
std::string Lines(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += "line " + std::to_string(i) + "\n";
  return out;
}

enum class Charset { kUtf8, kCp932, kOther };

// The narrow encoding names arrive in: UTF-8 on Linux, the ANSI code page on
// Windows (1252 under a default Wine, 932 under a Japanese locale).
Charset NarrowCharset() {
#ifdef _WIN32
  return GetACP() == 932 ? Charset::kCp932 : Charset::kOther;
#else
  return Charset::kUtf8;
#endif
}

struct Opened {
  explicit Opened(const std::string& name) : handle(ArchiveOpen(Fixture(name))) {}
  ~Opened() {
    if (handle != nullptr) ArchiveClose(handle);
  }
  ArchiveHandle handle;
};

std::vector<ArchiveEntryInfo> List(ArchiveHandle archive) {
  std::vector<ArchiveEntryInfo> out;
  ArchiveEntryInfo info;
  for (bool more = ArchiveFindFirst(archive, info); more;
       more = ArchiveFindNext(archive, info)) {
    out.push_back(info);
  }
  return out;
}

std::vector<std::string> Names(const std::string& fixture) {
  Opened archive(fixture);
  std::vector<std::string> names;
  if (archive.handle == nullptr) return names;
  for (const ArchiveEntryInfo& e : List(archive.handle)) names.push_back(e.name);
  return names;
}

struct ReadResult {
  bool ok = false;
  std::string data;
  std::size_t chunks = 0;
  std::size_t largest_chunk = 0;
};

ReadResult Read(ArchiveHandle archive, const ArchiveEntryInfo& entry) {
  ReadResult r;
  r.ok = ArchiveReadEntry(archive, entry, [&](const void* data, std::size_t size) {
    r.data.append(static_cast<const char*>(data), size);
    ++r.chunks;
    if (size > r.largest_chunk) r.largest_chunk = size;
    return true;
  });
  return r;
}

ArchiveEntryInfo Find(ArchiveHandle archive, const std::string& name) {
  for (const ArchiveEntryInfo& e : List(archive)) {
    if (e.name == name) return e;
  }
  ADD_FAILURE() << "no entry " << name;
  return ArchiveEntryInfo();
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

// --- Reading ordinary archives ---------------------------------------------

TEST(ArchiveRead, EnumeratesInDirectoryOrderWithDirectoriesMarked) {
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_basic.zip")), 7);
  Opened archive("archive_basic.zip");
  ASSERT_NE(archive.handle, nullptr);
  const std::vector<ArchiveEntryInfo> entries = List(archive.handle);
  const std::vector<std::string> names = {"stored.txt", "big_stored.txt", "deflated.txt",
                                          "folder/", "folder/inner.txt",
                                          "implicit/deep/file.txt", "empty.txt"};
  ASSERT_EQ(entries.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(entries[i].name, names[i]);
    EXPECT_EQ(entries[i].position, i);
    EXPECT_EQ(entries[i].is_directory, names[i] == "folder/") << names[i];
  }
  EXPECT_EQ(entries[2].size, Lines(300000).size());
  EXPECT_LT(entries[2].compressed_size, entries[2].size);
  EXPECT_EQ(entries[1].compressed_size, entries[1].size);

  // A second enumeration starts over and gives the same.
  const std::vector<ArchiveEntryInfo> again = List(archive.handle);
  ASSERT_EQ(again.size(), entries.size());
  EXPECT_EQ(again[0].name, entries[0].name);

  ArchiveEntryInfo info;
  EXPECT_FALSE(ArchiveFindFirst(nullptr, info));
}

TEST(ArchiveRead, StreamsStoredAndDeflatedDataInBoundedChunks) {
  Opened archive("archive_basic.zip");
  ASSERT_NE(archive.handle, nullptr);

  ReadResult small = Read(archive.handle, Find(archive.handle, "stored.txt"));
  EXPECT_TRUE(small.ok);
  EXPECT_EQ(small.data, "stored content\n");

  for (const char* name : {"big_stored.txt", "deflated.txt"}) {
    const ArchiveEntryInfo entry = Find(archive.handle, name);
    const ReadResult big = Read(archive.handle, entry);
    EXPECT_TRUE(big.ok) << name;
    EXPECT_TRUE(big.data == Lines(std::strcmp(name, "deflated.txt") == 0 ? 300000 : 200000))
        << name;
    EXPECT_GT(big.chunks, 1u) << name;
    EXPECT_LE(big.largest_chunk, 1024u * 1024u) << name;
  }

  ReadResult inner = Read(archive.handle, Find(archive.handle, "implicit/deep/file.txt"));
  EXPECT_TRUE(inner.ok);
  EXPECT_EQ(inner.data, "deep\n");

  // An empty deflated file and a directory: success, no data.
  ReadResult empty = Read(archive.handle, Find(archive.handle, "empty.txt"));
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.data.empty());
  ReadResult folder = Read(archive.handle, Find(archive.handle, "folder/"));
  EXPECT_TRUE(folder.ok);
  EXPECT_EQ(folder.chunks, 0u);
}

TEST(ArchiveRead, SinkRefusalAndForeignEntriesFail) {
  Opened archive("archive_basic.zip");
  ASSERT_NE(archive.handle, nullptr);
  const ArchiveEntryInfo entry = Find(archive.handle, "deflated.txt");
  std::size_t calls = 0;
  EXPECT_FALSE(ArchiveReadEntry(archive.handle, entry, [&](const void*, std::size_t) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1u);
  // The archive stays usable after an interrupted read.
  EXPECT_TRUE(Read(archive.handle, entry).ok);

  ArchiveEntryInfo foreign = entry;
  foreign.position = 1000;
  EXPECT_FALSE(Read(archive.handle, foreign).ok);
  foreign = entry;
  foreign.name = "other.txt";
  EXPECT_FALSE(Read(archive.handle, foreign).ok);
}

TEST(ArchiveRead, ModifiedTimeFromDosFieldsOrExtendedTimestamp) {
  Opened basic("archive_basic.zip");
  ASSERT_NE(basic.handle, nullptr);
  // 2021-06-15 12:30:44, taken as UTC.
  EXPECT_EQ(Find(basic.handle, "stored.txt").modified, 1623760244);

  Opened times("archive_times.zip");
  ASSERT_NE(times.handle, nullptr);
  EXPECT_EQ(Find(times.handle, "dos.txt").modified, 1623760244);
  EXPECT_EQ(Find(times.handle, "unix.txt").modified, 1700000000);
}

TEST(ArchiveRead, DataDescriptorsUseDirectoryValues) {
  Opened archive("archive_descriptor.zip");
  ASSERT_NE(archive.handle, nullptr);
  const ReadResult deflated = Read(archive.handle, Find(archive.handle, "desc_deflated.txt"));
  EXPECT_TRUE(deflated.ok);
  EXPECT_TRUE(deflated.data == Lines(5000));
  const ReadResult stored = Read(archive.handle, Find(archive.handle, "desc_stored.txt"));
  EXPECT_TRUE(stored.ok);
  EXPECT_EQ(stored.data, "described\n");
}

TEST(ArchiveRead, BadDataFailsOnlyItsEntry) {
  Opened archive("archive_bad_data.zip");
  ASSERT_NE(archive.handle, nullptr);
  const std::map<std::string, bool> expected = {
      {"good.txt", true},
      {"bad_crc_stored.txt", false},
      {"bad_crc_deflated.txt", false},
      {"longer_than_said.txt", false},
      {"shorter_than_said.txt", false},
      {"garbage_after_stream.txt", false},
      {"cut_stream.txt", false},
      {"not_deflate.txt", false},
      {"local_name_differs.txt", false},
      {"local_method_differs.txt", false},
      {"local_crc_differs.txt", false},
      {"local_size_differs.txt", false},
      {"local_extra_past_data.txt", false},
      {"descriptor_zeros.txt", true},
      {"zeros_without_descriptor.txt", false},
  };
  const std::vector<ArchiveEntryInfo> entries = List(archive.handle);
  ASSERT_EQ(entries.size(), expected.size());
  for (const ArchiveEntryInfo& e : entries) {
    ASSERT_EQ(expected.count(e.name), 1u) << e.name;
    EXPECT_EQ(Read(archive.handle, e).ok, expected.at(e.name)) << e.name;
    // Damage is told apart from a sink that stopped, and names its entry.
    for (const bool sink_stops : {false, true}) {
      if (sink_stops && !expected.at(e.name)) continue;  // damage may come before any data
      ArchiveProblem why;
      ArchiveReadEntry(archive.handle, e, [&](const void*, std::size_t) { return !sink_stops; },
                       &why);
      const bool damaged = !expected.at(e.name) && !sink_stops;
      EXPECT_EQ(why.reason, damaged ? ArchiveRefusal::DamagedData : ArchiveRefusal::None) << e.name;
      EXPECT_EQ(why.entry, damaged ? e.name : std::string()) << e.name;
    }
  }
  EXPECT_TRUE(Read(archive.handle, entries[0]).data == Lines(2000));
}

// --- ZIP64 ------------------------------------------------------------------

TEST(ArchiveZip64, MoreThan65535EntriesInDirectoryOrder) {
  const int count = 65540;
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_zip64_many.zip")), count);
  Opened archive("archive_zip64_many.zip");
  ASSERT_NE(archive.handle, nullptr);
  const std::vector<ArchiveEntryInfo> entries = List(archive.handle);
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(count));
  int wrong = 0;
  char expected[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(expected, sizeof expected, "n/%05d", static_cast<int>((i * 7919LL) % count));
    if (entries[i].name != expected || entries[i].position != static_cast<std::size_t>(i)) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  const ReadResult last = Read(archive.handle, entries.back());
  EXPECT_TRUE(last.ok);
  EXPECT_TRUE(last.data.empty());
}

TEST(ArchiveZip64, WrappedCountWithoutZip64IsTakenFromTheDirectory) {
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_count_wrapped.zip")), 65537);
}

TEST(ArchiveZip64, SaturatedFieldsComeFromTheExtraInOrder) {
  Opened archive("archive_zip64_fields.zip");
  ASSERT_NE(archive.handle, nullptr);
  const ArchiveEntryInfo entry = Find(archive.handle, "z.txt");
  EXPECT_EQ(entry.size, 18u);
  const ReadResult r = Read(archive.handle, entry);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.data, "zip64 field order\n");

  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_zip64_field_missing.zip")), -1);
}

TEST(ArchiveZip64, SizesAbove4GiBComeFromTheExtra) {
  Opened archive("archive_zip64_large.zip");
  ASSERT_NE(archive.handle, nullptr);
  const ArchiveEntryInfo entry = Find(archive.handle, "zeros.bin");
  EXPECT_EQ(entry.size, 80ull * 64 * 1024 * 1024);
  // Not the saturated 32-bit value: about 5 MB, whatever zlib made it.
  EXPECT_GT(entry.compressed_size, entry.size / 1032);
  EXPECT_LT(entry.compressed_size, 64u << 20);
}

// Inflating 5 GiB takes tens of seconds (zlib copies long runs byte by byte),
// too long for every run; run with --gtest_also_run_disabled_tests.
TEST(ArchiveZip64, DISABLED_StreamsAnEntryLargerThan4GiB) {
  Opened archive("archive_zip64_large.zip");
  ASSERT_NE(archive.handle, nullptr);
  const ArchiveEntryInfo entry = Find(archive.handle, "zeros.bin");
  const std::uint64_t expected = 80ull * 64 * 1024 * 1024;
  ASSERT_EQ(entry.size, expected);
  static const std::vector<char> zeros(1024 * 1024, 0);
  std::uint64_t total = 0;
  bool all_zero = true;
  bool bounded = true;
  EXPECT_TRUE(ArchiveReadEntry(archive.handle, entry, [&](const void* data, std::size_t size) {
    if (size > zeros.size()) {
      bounded = false;
      return false;
    }
    all_zero = all_zero && std::memcmp(data, zeros.data(), size) == 0;
    total += size;
    return true;
  }));
  EXPECT_EQ(total, expected);
  EXPECT_TRUE(all_zero);
  EXPECT_TRUE(bounded);
}

// --- Where the archive is in the file -----------------------------------------

TEST(ArchiveLayout, CommentsAndStubsAreFoundAround) {
  EXPECT_EQ(Names("archive_comment.zip"), std::vector<std::string>{"a.txt"});
  // The comment holds an end record of its own that points nowhere.
  EXPECT_EQ(Names("archive_comment_sig.zip"), std::vector<std::string>{"a.txt"});
  // ...or one that describes a second, empty archive: ambiguous.
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_two_ends.zip")), -1);

  {
    Opened stub("archive_stub.zip");
    ASSERT_NE(stub.handle, nullptr);
    EXPECT_EQ(List(stub.handle).size(), 7u);
    const ReadResult r = Read(stub.handle, Find(stub.handle, "deflated.txt"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.data == Lines(300000));
  }
  {
    Opened adjusted("archive_stub_adjusted.zip");
    ASSERT_NE(adjusted.handle, nullptr);
    EXPECT_EQ(Read(adjusted.handle, Find(adjusted.handle, "one.txt")).data, "1\n");
    const ReadResult r = Read(adjusted.handle, Find(adjusted.handle, "two.txt"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.data == Lines(100));
  }
  {
    Opened zip64("archive_stub_zip64.zip");
    ASSERT_NE(zip64.handle, nullptr);
    const ReadResult r = Read(zip64.handle, Find(zip64.handle, "two.txt"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.data == Lines(100));
  }
}

TEST(ArchiveLayout, EmptyArchiveHasNoEntriesButEmptyFileIsUnreadable) {
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_empty.zip")), 0);
  Opened empty("archive_empty.zip");
  ASSERT_NE(empty.handle, nullptr);
  ArchiveEntryInfo info;
  EXPECT_FALSE(ArchiveFindFirst(empty.handle, info));

  ArchiveProblem why;
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_zero_bytes.zip"), &why), -1);
  EXPECT_EQ(why.reason, ArchiveRefusal::NotZip);
  EXPECT_EQ(ArchiveOpen(Fixture("archive_zero_bytes.zip")), nullptr);
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_does_not_exist.zip"), &why), -1);
  EXPECT_EQ(why.reason, ArchiveRefusal::CannotRead);
}

TEST(ArchiveLayout, BrokenDirectoriesAreRefused) {
  const std::pair<const char*, ArchiveRefusal> cases[] = {
      {"archive_truncated_end.zip", ArchiveRefusal::NotZip},
      {"archive_truncated_middle.zip", ArchiveRefusal::NotZip},
      {"archive_truncated_cd.zip", ArchiveRefusal::NotZip},
      {"archive_no_directory.zip", ArchiveRefusal::NotZip},
      {"archive_count_mismatch.zip", ArchiveRefusal::SizesDisagree},
      {"archive_disk_number.zip", ArchiveRefusal::NotZip},
      {"archive_entry_disk.zip", ArchiveRefusal::SizesDisagree},
      {"archive_extra_overflow.zip", ArchiveRefusal::DamagedData},
      {"archive_extra_trailing.zip", ArchiveRefusal::DamagedData},
      {"archive_overlap.zip", ArchiveRefusal::Overlapping},
      {"archive_into_directory.zip", ArchiveRefusal::Overlapping},
      {"archive_zip64_disagrees.zip", ArchiveRefusal::NotZip}};
  for (const auto& c : cases) {
    ArchiveProblem why;
    EXPECT_EQ(ArchiveCountEntries(Fixture(c.first), &why), -1) << c.first;
    EXPECT_EQ(why.reason, c.second) << c.first;
    EXPECT_EQ(ArchiveOpen(Fixture(c.first)), nullptr) << c.first;
  }
}

// --- Names --------------------------------------------------------------------

TEST(ArchiveNames, Utf8FlaggedNamesConvertToTheNarrowEncoding) {
  const std::vector<std::string> names = Names("archive_names_utf8.zip");
  switch (NarrowCharset()) {
    case Charset::kUtf8:
      EXPECT_EQ(names, (std::vector<std::string>{"ascii.txt", "日本語/テキスト.txt"}));
      break;
    case Charset::kCp932:
      EXPECT_EQ(names, (std::vector<std::string>{
                           "ascii.txt", "\x93\xfa\x96\x7b\x8c\xea/\x83\x65\x83\x4c\x83\x58\x83\x67.txt"}));
      break;
    case Charset::kOther:  // not representable: the whole archive is refused
      EXPECT_EQ(ArchiveCountEntries(Fixture("archive_names_utf8.zip")), -1);
      break;
  }
  // Flagged but not UTF-8 (an overlong '.').
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_names_bad_utf8.zip")), -1);
}

TEST(ArchiveNames, LegacyNamesAreCodePage932OrPassedThrough) {
  const std::vector<std::string> names = Names("archive_names_cp932.zip");
  ASSERT_EQ(names.size(), 2u);
  if (NarrowCharset() == Charset::kUtf8) {
    EXPECT_EQ(names[0], "日本.txt");
  } else {  // the ANSI code page's own bytes, unchanged
    EXPECT_EQ(Hex(names[0]), Hex("\x93\xfa\x96\x7b.txt"));
  }
  EXPECT_EQ(names[1], "readme.txt");
}

// Unflagged names are read one way for the whole archive: as UTF-8 when
// they all are UTF-8, else as the code page, and a name that is text of
// neither is refused rather than created under other characters.
TEST(ArchiveNames, UnflaggedNamesThatAreNotCodePageTextAreRefused) {
  const Charset charset = NarrowCharset();
  ArchiveProblem why;
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_names_cp437.zip"), &why), -1);
  EXPECT_EQ(why.reason, ArchiveRefusal::NameNotInCodePage);
  const std::vector<std::string> latin = Names("archive_names_utf8_unflagged_latin.zip");
  const std::vector<std::string> japanese = Names("archive_names_utf8_unflagged_japanese.zip");
  switch (charset) {
    case Charset::kUtf8:
      EXPECT_EQ(latin, (std::vector<std::string>{"readme.txt", "café.txt"}));
      EXPECT_EQ(japanese, (std::vector<std::string>{"日本語/テキスト.txt"}));
      break;
    case Charset::kCp932:  // é has no place in 932
      EXPECT_TRUE(latin.empty());
      EXPECT_EQ(japanese, (std::vector<std::string>{
                              "\x93\xfa\x96\x7b\x8c\xea/\x83\x65\x83\x4c\x83\x58\x83\x67.txt"}));
      break;
    case Charset::kOther:  // 1252: é is there, Japanese is not
      EXPECT_EQ(latin, (std::vector<std::string>{"readme.txt", "caf\xe9.txt"}));
      EXPECT_TRUE(japanese.empty());
      break;
  }
}

TEST(ArchiveNames, CurrentFolderComponentsAreDropped) {
  EXPECT_EQ(Names("archive_dot_components.zip"),
            (std::vector<std::string>{"readme.txt", "data/x.txt", "data/y.txt", "data/sub/"}));
  // The same file twice, once with "./".
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_dup_dot.zip")), -1);
}

TEST(ArchiveNames, TrailByte5CIsNotASeparator) {
  const std::string fixture = "archive_names_cp932_trail.zip";
  if (NarrowCharset() == Charset::kOther) {
    // Read as single bytes, 95 5C is a folder holding data and 83 7C has a
    // '|': refused rather than extracted wrongly.
    EXPECT_EQ(ArchiveCountEntries(Fixture(fixture)), -1);
    return;
  }
  Opened archive(fixture.c_str());
  ASSERT_NE(archive.handle, nullptr);
  const std::vector<ArchiveEntryInfo> entries = List(archive.handle);
  ASSERT_EQ(entries.size(), 3u);
  const bool utf8 = NarrowCharset() == Charset::kUtf8;
  EXPECT_EQ(Hex(entries[0].name), Hex(utf8 ? "表" : "\x95\x5c"));
  EXPECT_FALSE(entries[0].is_directory);
  EXPECT_EQ(entries[0].size, 6u);
  const ReadResult r = Read(archive.handle, entries[0]);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.data, "table\n");
  EXPECT_EQ(Hex(entries[1].name), Hex(utf8 ? "ソフト/readme.txt" : "\x83\x5c\x83\x74\x83\x67/readme.txt"));
  EXPECT_FALSE(entries[1].is_directory);
  EXPECT_EQ(Hex(entries[2].name), Hex(utf8 ? "ポ.txt" : "\x83\x7c.txt"));
}

TEST(ArchiveNames, UnicodePathFieldUsedOnlyWhenItsCrcMatches) {
  EXPECT_EQ(Names("archive_unicode_path.zip"),
            (std::vector<std::string>{"new_name.txt", "kept.txt"}));
  // The field's name is checked like any other.
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_unicode_path_evil.zip")), -1);
}

TEST(ArchiveNames, UnusualButSafeNamesAreAccepted) {
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_tricky_ok.zip")), 15);
}

// --- Refusals -----------------------------------------------------------------

// Why a name from the unsafe-names list is refused: a ".." component leaves
// the folder, a leading separator or a drive is absolute, the rest are
// names Windows cannot create as they are.
ArchiveRefusal ExpectedRefusal(const std::string& name) {
  const bool drive = name.size() >= 2 && name[1] == ':';
  if (drive || (!name.empty() && (name[0] == '/' || name[0] == '\\'))) {
    return ArchiveRefusal::AbsoluteName;
  }
  const std::string padded = "/" + name + "/";
  if (padded.find("/../") != std::string::npos || padded.find("/..\0") != std::string::npos) {
    return ArchiveRefusal::LeavesFolder;
  }
  return ArchiveRefusal::NameNotCreatable;
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

TEST(ArchiveRefusal, UnsafeNames) {
  std::ifstream manifest(Fixture("archive_bad_names.txt"));
  ASSERT_TRUE(manifest.good());
  std::string line;
  int checked = 0;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string file, hex_name;
    fields >> file >> hex_name;
    if (file.empty()) continue;
    ArchiveProblem why;
    EXPECT_EQ(ArchiveCountEntries(Fixture(file), &why), -1) << file << " name " << hex_name;
    EXPECT_EQ(why.reason, ExpectedRefusal(FromHex(hex_name))) << file << " name " << hex_name;
    EXPECT_EQ(why.entry.empty(), hex_name.empty()) << file;  // the entry is named
    ++checked;
  }
  EXPECT_GE(checked, 35);
}

TEST(ArchiveRefusal, EntriesLandingOnTheSameTarget) {
  for (const char* name : {"archive_dup_exact.zip", "archive_dup_separator.zip",
                           "archive_dup_file_dir.zip", "archive_dup_file_as_folder.zip",
                           "archive_dup_dir_after_file.zip"}) {
    ArchiveProblem why;
    EXPECT_EQ(ArchiveCountEntries(Fixture(name), &why), -1) << name;
    EXPECT_EQ(why.reason, ArchiveRefusal::SameTarget) << name;
    EXPECT_FALSE(why.entry.empty()) << name;
  }
  // Names differing only in case are one file where case is ignored.
#ifdef _WIN32
  const long long expected = -1;
#else
  const long long expected = 2;
#endif
  EXPECT_EQ(ArchiveCountEntries(Fixture("archive_dup_case.zip")), expected);
}

TEST(ArchiveRefusal, LinksEncryptionAndUnsupportedData) {
  const std::pair<const char*, ArchiveRefusal> cases[] = {
      {"archive_symlink.zip", ArchiveRefusal::Link},
      {"archive_encrypted.zip", ArchiveRefusal::Encrypted},
      {"archive_strong_encryption.zip", ArchiveRefusal::Encrypted},
      {"archive_aes.zip", ArchiveRefusal::Encrypted},
      {"archive_aes_noflag.zip", ArchiveRefusal::UnknownMethod},
      {"archive_method_bzip2.zip", ArchiveRefusal::UnknownMethod},
      {"archive_method_deflate64.zip", ArchiveRefusal::UnknownMethod},
      {"archive_stored_size_mismatch.zip", ArchiveRefusal::SizesDisagree},
      {"archive_dir_with_data.zip", ArchiveRefusal::SizesDisagree},
      {"archive_claims_bomb.zip", ArchiveRefusal::SizesDisagree}};
  for (const auto& c : cases) {
    ArchiveProblem why;
    EXPECT_EQ(ArchiveCountEntries(Fixture(c.first), &why), -1) << c.first;
    EXPECT_EQ(why.reason, c.second) << c.first;
    EXPECT_FALSE(why.entry.empty()) << c.first;  // each is about one entry
    EXPECT_EQ(ArchiveOpen(Fixture(c.first)), nullptr) << c.first;
  }
}

}  // namespace
