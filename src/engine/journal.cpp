#include "engine/journal.h"

#include <algorithm>

#include "engine/files.h"
#include "engine/paths.h"
#include "engine/text.h"

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t cut = FindLastSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

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

bool MoveStep(Journal& journal, const std::string& from, const std::string& to) {
  // Both are reached through the same current folder when they are long.
  if (from.size() >= kLongPath && to.size() >= kLongPath && FolderOf(from) != FolderOf(to)) {
    return false;
  }
  std::string destination = to;
  std::string source = from;
  if (!ReachPath(destination) || !PreparePath(source)) return false;
  if (MoveEntry(source, destination) != FileResult::Done) return false;
  journal.steps.push_back({JournalStep::Moved, from, to});
  return true;
}

bool CreateFoldersStep(Journal& journal, const std::string& base, const std::string& folder) {
  if (folder.size() <= base.size()) return true;
  // Walk down from the base, one separator at a time.
  std::size_t position = base.size() + 1;
  while (position <= folder.size()) {
    std::size_t next = position;
    while (next < folder.size() && folder[next] != '\\' && folder[next] != '/') {
      if (IsLeadByte(static_cast<unsigned char>(folder[next])) && next + 1 < folder.size()) ++next;
      ++next;
    }
    const std::string part = folder.substr(0, next);
    if (!PathIsFolder(part)) {
      if (PathExists(part)) return false;  // a file stands where a folder must go
      std::string reached = part;
      if (!ReachPath(reached) || MakeFolder(reached) != FileResult::Done) return false;
      journal.steps.push_back({JournalStep::CreatedFolder, part, std::string()});
    }
    position = next + 1;
  }
  return true;
}

void ProgressMeter::Advance(std::uint64_t units) {
  done_ += units;
  const int percent = static_cast<int>(std::min<std::uint64_t>(done_, total_) * 100 / total_);
  if (percent == shown_ || !report_) return;
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
  journal.steps.push_back({JournalStep::CreatedFile, path, std::string()});
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
  std::vector<std::string> names;
  if (!ListFolder(reached, names)) return false;
  return !names.empty() || RemoveEmptyFolder(reached) == FileResult::Done;
}

bool PlanEntries(const std::string& folder, const std::string& archive_path,
                 std::vector<PlannedEntry>& entries) {
  entries.clear();
  const long long count = ArchiveCountEntries(archive_path);
  if (count < 0) return false;
  if (count == 0) return true;
  const ArchiveHandle archive = ArchiveOpen(archive_path);
  if (archive == nullptr) return false;
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
  ArchiveClose(archive);
  if (!ok) entries.clear();
  return ok;
}
