#include "engine/verify.h"

#include "engine/removal.h"
#include "platform/files.h"

std::uint64_t VerifyWork(const InstallRecord& record) {
  std::uint64_t work = (record.files.size() + record.originals.size()) * ProgressMeter::kPerFile;
  for (const InstallRecord::File& file : record.files) work += file.size;
  return work;
}

VerifyReport VerifyInstalledFiles(const InstallRecord& record, ProgressMeter* meter) {
  VerifyReport report;
  for (const InstallRecord::File& file : record.files) {
    // The same reading an uninstall does: what it would keep as changed is
    // what is reported changed here.
    switch (CheckInstalledFile(InFolder(record, file.path), file, meter)) {
      case Found::Ours:
        ++report.intact;
        break;
      case Found::Changed:
        ++report.changed;
        report.differences.push_back({file.path, false});
        break;
      case Found::Gone:
        ++report.missing;
        report.differences.push_back({file.path, true});
        break;
      case Found::Held:
        ++report.unreadable;
        break;
    }
    if (meter != nullptr) meter->Advance(ProgressMeter::kPerFile);
  }
  for (const RecordedMove& original : record.originals) {
    if (FileExists(InFolder(record, original.to))) {
      ++report.backups_present;
    } else {
      report.backups_gone.push_back(original.to);
    }
    if (meter != nullptr) meter->Advance(ProgressMeter::kPerFile);
  }
  return report;
}
