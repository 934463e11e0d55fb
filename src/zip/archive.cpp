// Our zip reader. The central directory is the truth about every entry; the
// local headers are only read to find the data, and must agree with it.
// Everything that would make extraction unsafe or ambiguous is found while
// the directory is read, so that a refused archive never touches the disk.
#include "zip/archive.h"

#include <memory>
#include <utility>
#include <vector>

#include "zip/directory.h"
#include "zip/end_record.h"
#include "zip/entry.h"
#include "zip/entry_data.h"
#include "zip/file.h"

struct Archive {
  explicit Archive(const std::string& path) : path(path), file(path) {}

  std::string path;
  zip::File file;
  // Checked once, shared by every handle opened from this one.
  std::shared_ptr<const std::vector<zip::Entry>> directory;
  const std::vector<zip::Entry>& entries() const { return *directory; }
  std::size_t next = 0;
  zip::EntryReader reader;
};

namespace {

std::unique_ptr<Archive> Load(const std::string& path, ArchiveProblem* why) {
  std::unique_ptr<Archive> archive(new Archive(path));
  zip::Layout layout;
  auto entries = std::make_shared<std::vector<zip::Entry>>();
  ArchiveProblem problem;
  if (!archive->file.ok()) {
    problem.reason = ArchiveRefusal::CannotRead;
  } else if (!zip::FindLayout(archive->file, layout)) {
    problem.reason = ArchiveRefusal::NotZip;
  } else if (!zip::ReadDirectory(archive->file, layout, *entries, problem)) {
    // Every refusal of the directory says why; a read cut short is damage.
    if (problem.reason == ArchiveRefusal::None) problem.reason = ArchiveRefusal::DamagedData;
  } else {
    archive->directory = std::move(entries);
    return archive;
  }
  if (why != nullptr) *why = problem;
  return nullptr;
}
void FillInfo(const zip::Entry& e, std::size_t position, ArchiveEntryInfo& info) {
  info.name = e.name;
  info.is_directory = e.is_directory;
  info.size = e.size;
  info.compressed_size = e.compressed_size;
  info.crc32 = e.crc;
  info.modified = e.modified;
  info.position = position;
}

}  // namespace

long long ArchiveCountEntries(const std::string& archive_path, ArchiveProblem* why) {
  const std::unique_ptr<Archive> archive = Load(archive_path, why);
  return archive ? static_cast<long long>(archive->entries().size()) : -1;
}

ArchiveHandle ArchiveOpen(const std::string& archive_path, ArchiveProblem* why) {
  return Load(archive_path, why).release();
}

ArchiveHandle ArchiveOpenAgain(ArchiveHandle archive) {
  if (archive == nullptr) return nullptr;
  std::unique_ptr<Archive> again(new Archive(archive->path));
  if (!again->file.ok()) return nullptr;
  // Should the file have been replaced since, each entry's local header no
  // longer matches the directory and its reading fails.
  again->directory = archive->directory;
  return again.release();
}

long long ArchiveEntryCount(ArchiveHandle archive) {
  return archive ? static_cast<long long>(archive->entries().size()) : -1;
}

bool ArchiveFindFirst(ArchiveHandle archive, ArchiveEntryInfo& info) {
  if (archive == nullptr) return false;
  archive->next = 0;
  return ArchiveFindNext(archive, info);
}

bool ArchiveFindNext(ArchiveHandle archive, ArchiveEntryInfo& info) {
  if (archive == nullptr || archive->next >= archive->entries().size()) return false;
  FillInfo(archive->entries()[archive->next], archive->next, info);
  ++archive->next;
  return true;
}

void ArchiveClose(ArchiveHandle archive) { delete archive; }

bool ArchiveReadEntry(ArchiveHandle archive, const ArchiveEntryInfo& entry,
                      const std::function<bool(const void* data, std::size_t size)>& sink,
                      ArchiveProblem* why) {
  if (archive == nullptr || entry.position >= archive->entries().size()) return false;
  const zip::Entry& e = archive->entries()[entry.position];
  if (e.name != entry.name) return false;  // not an entry of this archive
  bool sink_refused = false;
  const bool read = archive->reader.Read(archive->file, e, [&](const void* data, std::size_t size) {
    return sink(data, size) || !(sink_refused = true);
  });
  if (!read && !sink_refused && why != nullptr) *why = {ArchiveRefusal::DamagedData, e.name};
  return read;
}
