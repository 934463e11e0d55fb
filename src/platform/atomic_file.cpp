#include "platform/atomic_file.h"

namespace {
constexpr const char* kTemporarySuffix = ".tmp";
}  // namespace

std::string TemporaryName(const std::string& path) { return path + kTemporarySuffix; }

std::string WriteTemporaryFile(const std::string& path, const std::string& data,
                               const DiskCalls& calls) {
  const std::string temporary = TemporaryName(path);
  // A crash may have left one behind; it never holds anything needed.
  if (FileExists(temporary) && calls.delete_regular_file(temporary) != FileResult::Done) {
    return std::string();
  }
  OutputFile* file = nullptr;
  if (calls.create_new_file(temporary, &file) != FileResult::Done) return std::string();
  const bool written = calls.write_to_file(file, data.data(), data.size()) == FileResult::Done;
  if (calls.flush_and_close_file(file) != FileResult::Done || !written) {
    calls.delete_regular_file(temporary);
    return std::string();
  }
  return temporary;
}

bool PutTemporaryInPlace(const std::string& temporary, const std::string& path, bool replace,
                         const DiskCalls& calls) {
  const FileResult moved = replace ? calls.replace_with_entry(temporary, path)
                                   : calls.move_entry(temporary, path);
  if (moved == FileResult::Done) return true;
  calls.delete_regular_file(temporary);
  return false;
}

bool WriteFileAtomically(const std::string& path, const std::string& data, bool replace,
                         const DiskCalls& calls) {
  const std::string temporary = WriteTemporaryFile(path, data, calls);
  return !temporary.empty() && PutTemporaryInPlace(temporary, path, replace, calls);
}
