#include "platform/atomic_file.h"

namespace {
constexpr const char* kTemporarySuffix = ".tmp";
}  // namespace

std::string TemporaryName(const std::string& path) { return path + kTemporarySuffix; }

std::string WriteTemporaryFile(const std::string& path, const std::string& data,
                               const DiskCalls& calls) {
  const std::string temporary = TemporaryName(path);
  // A crash may have left one behind; it never holds anything needed.
  const auto remove = [&] {
    return RetryWhileHeld([&] { return calls.delete_regular_file(temporary); });
  };
  if (FileExists(temporary) && remove() != FileResult::Done) return std::string();
  OutputFile* file = nullptr;
  if (RetryWhileHeld([&] { return calls.create_new_file(temporary, &file); }) !=
      FileResult::Done) {
    return std::string();
  }
  const bool written = calls.write_to_file(file, data.data(), data.size()) == FileResult::Done;
  if (calls.flush_and_close_file(file) != FileResult::Done || !written) {
    remove();
    return std::string();
  }
  return temporary;
}

bool PutTemporaryInPlace(const std::string& temporary, const std::string& path, bool replace,
                         const DiskCalls& calls) {
  const FileResult moved = RetryWhileHeld([&] {
    return replace ? calls.replace_with_entry(temporary, path) : calls.move_entry(temporary, path);
  });
  if (moved == FileResult::Done) return true;
  RetryWhileHeld([&] { return calls.delete_regular_file(temporary); });
  return false;
}

bool WriteFileAtomically(const std::string& path, const std::string& data, bool replace,
                         const DiskCalls& calls) {
  const std::string temporary = WriteTemporaryFile(path, data, calls);
  return !temporary.empty() && PutTemporaryInPlace(temporary, path, replace, calls);
}
