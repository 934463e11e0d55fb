#include "engine/journal.h"

#include <algorithm>

#include "platform/files.h"
#include "rules/paths.h"
#include "engine/steps.h"
#include "platform/text.h"

FolderIndex::Listing& FolderIndex::ListingOf(const std::string& folder) {
  Listing& listing = folders_[FileKey(folder)];
  if (listing.listed) return listing;
  listing.listed = true;
  // A folder that is not there holds nothing; only one that is is listed.
  if (folder != root_ && Lookup(folder) != Kind::Folder) return listing;
  std::string reached = folder;
  std::vector<FolderEntry> entries;
  if (!ReachPath(reached) || !ListFolder(reached, entries)) return listing;
  for (const FolderEntry& entry : entries) {
    listing.names[FileKey(entry.name)] = entry.is_folder ? Kind::Folder : Kind::File;
#ifndef _WIN32
    // Of two spellings of one name, the first in byte order; the exact
    // spelling wins in Resolve before this is asked.
    auto chosen = listing.spelling.emplace(FoldCase(entry.name), entry.name);
    if (!chosen.second && entry.name < chosen.first->second) chosen.first->second = entry.name;
#endif
  }
  return listing;
}

std::string FolderIndex::Resolve(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  if (path.size() <= root_.size() || path.compare(0, root_.size(), root_) != 0) return path;
  std::string resolved = root_;
  std::size_t start = root_.size() + 1;
  while (start <= path.size()) {
    std::size_t end = path.find(kPathSeparator, start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    if (!component.empty()) {
      Listing& listing = ListingOf(resolved);
      std::string chosen = component;
      if (listing.names.count(component) == 0) {
        // Not there as spelt: another spelling that is, or that an earlier
        // path chose; else this one, for later paths to follow.
        chosen = listing.spelling.emplace(FoldCase(component), component).first->second;
      }
      resolved += kPathSeparator + chosen;
    } else if (end < path.size() || start == path.size()) {
      resolved += kPathSeparator;  // a folder's trailing separator
    }
    start = end + 1;
  }
  return resolved;
#endif
}

FolderIndex::Kind FolderIndex::Lookup(const std::string& path) {
  if (path == root_) return PathIsFolder(root_) ? Kind::Folder : Kind::Missing;
  const std::size_t cut = FindLastSeparator(path);
  if (cut == std::string::npos || cut < root_.size()) {
    // Not below the root: asked of the file system itself.
    return PathIsFolder(path) ? Kind::Folder : PathExists(path) ? Kind::File : Kind::Missing;
  }
  const Listing& listing = ListingOf(path.substr(0, cut));
  const auto found = listing.names.find(FileKey(path.substr(cut + 1)));
  return found == listing.names.end() ? Kind::Missing : found->second;
}

bool PathExists(const std::string& path) {
  std::string reached = path;
  return ReachPath(reached) && FileExists(reached);
}

bool PathIsFolder(const std::string& path) {
  std::string reached = path;
  return ReachPath(reached) && IsFolder(reached);
}

bool DeletePath(const std::string& path) {
  std::string prepared = path;
  return PreparePath(prepared) && DeleteRegularFile(prepared) == FileResult::Done;
}

namespace {

// A rename within one folder; `replace` lets it take the place of a file.
bool Rename(const std::string& from, const std::string& to, bool replace) {
  // Both are reached through the same current folder when they are long.
  const std::string from_folder = ReachFolder(from);
  const std::string to_folder = ReachFolder(to);
  if (!from_folder.empty() && !to_folder.empty() && from_folder != to_folder) return false;
  std::string destination = to;
  std::string source = from;
  if (!(replace ? PreparePath(destination) : ReachPath(destination)) || !PreparePath(source)) {
    return false;
  }
  return (replace ? ReplaceWithEntry(source, destination) : MoveEntry(source, destination)) ==
         FileResult::Done;
}

}  // namespace

bool MoveStep(Journal& journal, const std::string& from, const std::string& to) {
  if (!Rename(from, to, false)) return false;
  journal.Add({JournalStep::Moved, from, to});
  return true;
}

bool ReplacePath(const std::string& from, const std::string& to) { return Rename(from, to, true); }

void ProgressMeter::Advance(std::uint64_t units) {
  const std::lock_guard<std::mutex> lock(guard_);
  done_ += units;
  const int percent = static_cast<int>(std::min<std::uint64_t>(done_, total_) * 100 / total_);
  if (percent <= shown_ || !report_) return;
  shown_ = percent;
  report_(percent);
}

bool WriteEntryStep(Journal& journal, const std::string& path, ArchiveHandle archive,
                    const ArchiveEntryInfo& entry, ProgressMeter* meter) {
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  OutputFile* file = nullptr;
  if (CreateNewFile(reached, &file) != FileResult::Done) return false;
  // Recorded at once: from here on the file is ours to remove.
  journal.Add({JournalStep::CreatedFile, path, std::string()});
  const bool read = ArchiveReadEntry(archive, entry, [file, meter](const void* data, std::size_t size) {
    if (meter != nullptr) meter->Advance(size);
    return WriteToFile(file, data, size) == FileResult::Done;
  });
  const bool closed = CloseFile(file, entry.modified) == FileResult::Done;
  return read && closed;
}

bool UndoJournal(Journal& journal) {
  bool all = true;
  for (auto step = journal.steps.rbegin(); step != journal.steps.rend(); ++step) {
    bool undone = false;
    switch (step->kind) {
      case JournalStep::Moved: {
        Journal ignored;
        undone = MoveStep(ignored, step->other, step->path);
        break;
      }
      case JournalStep::CreatedFile:
        undone = DeletePath(step->path);
        break;
      case JournalStep::CreatedFolder: {
        std::string reached = step->path;
        undone = ReachPath(reached) && RemoveEmptyFolder(reached) == FileResult::Done;
        break;
      }
    }
    all = all && undone;
  }
  journal.steps.clear();
  return all;
}

bool RemoveFolderIfEmpty(const std::string& path) {
  std::string reached = path;
  if (!ReachPath(reached)) return false;
  if (!IsFolder(reached)) return true;
  std::vector<FolderEntry> names;
  if (!ListFolder(reached, names)) return false;
  return !names.empty() || RemoveEmptyFolder(reached) == FileResult::Done;
}

bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries, ArchiveHandle* keep) {
  entries.clear();
  if (keep != nullptr) *keep = nullptr;
  const ArchiveHandle archive = ArchiveOpen(archive_path);
  if (archive == nullptr) return false;
  const long long count = ArchiveEntryCount(archive);
  bool ok = true;
  ArchiveEntryInfo info;
  for (long long i = 0; ok && i < count; ++i) {
    ok = i == 0 ? ArchiveFindFirst(archive, "*.*", info) : ArchiveFindNext(archive, info);
    if (!ok) break;
    PlannedEntry planned;
    planned.info = info;
    ok = TargetPath(folder, info.name, planned.target);
    if (ok) entries.push_back(std::move(planned));
  }
  if (ok && keep != nullptr) {
    *keep = archive;
    return true;
  }
  ArchiveClose(archive);
  if (!ok) entries.clear();
  return ok;
}
