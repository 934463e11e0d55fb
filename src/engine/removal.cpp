#include "engine/removal.h"

#include <zlib.h>

#include <map>
#include <vector>

#include "engine/disk.h"
#include "engine/parallel.h"
#include "platform/files.h"

// Whether the file still holds exactly what the install wrote, read through
// a handle that could delete it: a file another program holds, or one the
// system would not let go, is found here (Held), before anything changes.
Found CheckInstalledFile(const std::string& path, const InstallRecord::File& file,
                         ProgressMeter* meter) {
  std::uint64_t size = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  bool longer = false;
  bool enough = false;
  const FileResult read = ReadWholeFile(
      path,
      [&](const void* data, std::size_t length) {
        if (!file.verify) return !(enough = true);  // opened is all it takes
        size += length;
        if (size > file.size) return !(longer = true);
        if (meter != nullptr) meter->Advance(length);
        crc = crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(length));
        return true;
      },
      true);
  if (longer) return Found::Changed;
  if (enough || (read == FileResult::Done && !file.verify)) return Found::Ours;
  // A link, a device or a pipe where the file was is not the install's.
  if (read == FileResult::NotRegular) return Found::Changed;
  if (read == FileResult::NotFound) return Found::Gone;
  if (read != FileResult::Done) return Found::Held;
  return size == file.size && crc == file.crc ? Found::Ours : Found::Changed;
}

namespace {

// One installed file's place: the file to delete there, the original to
// bring back, or both.
struct Item {
  const std::string* path;
  const InstallRecord::File* file;  // when it is to be deleted
  const std::string* backup;        // when its original comes back
};

std::map<std::string, Item> ItemsOf(const Plan& plan) {
  const InstallRecord& record = plan.record;
  std::map<std::string, Item> items;
  std::map<std::string, const InstallRecord::File*> files;
  for (const InstallRecord::File& file : record.files) files[file.path] = &file;
  for (const std::string& path : plan.to_delete) {
    const auto file = files.find(path);
    if (file != files.end()) items[path] = {&path, file->second, nullptr};
  }
  for (const RecordedMove& original : record.originals) {
    Item& item = items[original.from];
    item.path = &original.from;
    item.backup = &original.to;
  }
  return items;
}

// The file deleted, then its original back in its place. Every step is
// first looked for on disk, so that a repair can run this again after a
// crash part-way.
bool Remove(const InstallRecord& record, const Item& item, bool recheck, ProblemList* problems) {
  const std::string target = InFolder(record, *item.path);
  const std::string backup = item.backup ? InFolder(record, *item.backup) : std::string();
  // With the backup gone its original is back, and the target is it.
  // (Right after the check the plan's word is enough.)
  if (item.backup != nullptr && recheck && !PathExists(backup)) return true;
  bool ours = item.file != nullptr && (!recheck || PathExists(target));
  if (ours && recheck) {
    // A repair finds the file as a crash left it, maybe much later: one
    // that changed since is the user's, and so is its place (the original
    // stays under its backup name). One held by another program is neither
    // yet: the step fails, and the next start looks again.
    const Found found = CheckInstalledFile(target, *item.file, nullptr);
    if (found == Found::Held) return false;
    ours = found == Found::Ours;
    if (found == Found::Changed && problems != nullptr) {
      Problem left(ProblemKind::LeftChanged, *item.path);
      if (item.backup != nullptr) left.backup = *item.backup;
      problems->Add(std::move(left));
    }
  }
  // The original takes the installed file's place in one rename.
  if (ours && item.backup != nullptr) return ReplacePath(backup, target);
  if (ours) return DeletePath(target);
  if (item.backup != nullptr && !PathExists(target)) return MovePath(backup, target);
  return true;
}

}  // namespace

bool FinishRemoval(const Plan& plan, bool recheck, ProgressMeter* meter,
                   ProblemList* problems) {
  const InstallRecord& record = plan.record;
  const std::map<std::string, Item> items = ItemsOf(plan);
  std::vector<const Item*> work;
  for (const auto& item : items) work.push_back(&item.second);
  return RunInParallel(
      work.size(),
      [&](std::size_t i, std::size_t) {
        const bool ok = Remove(record, *work[i], recheck, problems);
        if (!ok && problems != nullptr) problems->StepFailed(*work[i]->path);
        if (meter != nullptr) {
          meter->Advance(((work[i]->file ? 1 : 0) + (work[i]->backup ? 1 : 0)) *
                         ProgressMeter::kPerFile);
        }
        return ok;
      });
}
