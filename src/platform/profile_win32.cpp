// The profile seam over the Windows private-profile functions. A change is
// made to a copy of the file beside it (atomic_file.h), which is then flushed
// and moved over the file in one rename: the file holds the old contents or the new, never
// the half-written file the profile functions would leave after a crash.
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/profile.h"

namespace {

// The whole file; a missing file is empty. False when it exists but cannot
// be read.
bool ReadBytes(const std::string& file, std::string& bytes, bool& exists) {
  bytes.clear();
  exists = false;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
  }
  exists = true;
  char buffer[65536];
  DWORD got = 0;
  bool ok;
  while ((ok = ReadFile(handle, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
    bytes.append(buffer, got);
  }
  CloseHandle(handle);
  return ok;
}

// The profile functions may keep files they have read in memory by name
// (older Wine trusted a known name without looking at the file again; Wine 8
// reads the renamed file afresh, even with an equal write time). After a
// rename over the file, or with a temporary name used again, such a copy
// would be stale: three nulls, the documented flush, make them forget it.
void ForgetCached(const std::string& file) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

// Windows refuses to write a read-only file; Wine running as root would
// write it anyway. Refuse the same way on both.
bool Unwritable(const std::string& file) {
  const DWORD attributes = GetFileAttributesA(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

bool FlushToDisk(const std::string& file) {
  const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = FlushFileBuffers(handle) != 0;
  return CloseHandle(handle) != 0 && ok;
}

bool IsEmptyFile(const std::string& file) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data) != 0 &&
         data.nFileSizeLow == 0 && data.nFileSizeHigh == 0;
}

// Changes to one file, made to a copy of it beside it.
struct Batch {
  bool open = false;
  std::string file;
  std::string temp;      // the copy, made at the first write
  bool existed = false;  // the file was there when it was copied
  bool failed = false;   // a write could not be made: the commit fails
};

Batch g_batch;

// Copies the file to a new temporary file in its folder.
bool MakeCopy(Batch& batch) {
  if (Unwritable(batch.file)) return false;
  std::string bytes;
  if (!ReadBytes(batch.file, bytes, batch.existed)) return false;
  // The profile functions end a line at a NUL byte and drop the rest of it,
  // a section's header included, whose keys then join the section before:
  // such a file is refused, as a read-only one is, rather than damaged.
  if (bytes.find('\0') != std::string::npos) return false;
  const std::string temp = WriteTemporaryFile(batch.file, bytes, PlatformDiskCalls());
  if (temp.empty()) return false;
  batch.temp = temp;
  return true;
}

bool WriteInto(Batch& batch, const std::string& section, const std::string& key,
               const char* value) {
  if (!batch.failed && batch.temp.empty() && !MakeCopy(batch)) batch.failed = true;
  if (!batch.failed &&
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value, batch.temp.c_str()) == 0) {
    batch.failed = true;
  }
  return !batch.failed;
}

// Removes the copy; the file stays as it is.
void Discard(Batch& batch) {
  if (batch.temp.empty()) return;
  ForgetCached(batch.temp);
  DeleteFileA(batch.temp.c_str());
  batch.temp.clear();
}

bool Commit(Batch& batch) {
  if (batch.failed) {
    Discard(batch);
    return false;
  }
  if (batch.temp.empty()) return true;
  // Deleting keys of a file that does not exist leaves nothing to write, and
  // no file is made.
  if (!batch.existed && IsEmptyFile(batch.temp)) {
    Discard(batch);
    return true;
  }
  ForgetCached(batch.temp);
  if (Unwritable(batch.file) || !FlushToDisk(batch.temp)) {
    Discard(batch);
    return false;
  }
  // The commit itself is the caller's change on disk (disk_calls.h); the
  // rename is the platform's own.
  const bool ok = PutTemporaryInPlace(batch.temp, batch.file, true, PlatformDiskCalls());
  batch.temp.clear();
  if (ok) ForgetCached(batch.file);
  return ok;
}

// What reads of `file` see: the open batch's copy, or the file.
const std::string& ReadSource(const std::string& file) {
  if (g_batch.open && g_batch.file == file && !g_batch.temp.empty()) return g_batch.temp;
  return file;
}

}  // namespace

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& file) {
  std::vector<char> buffer(size + 1, '\0');
  const DWORD length =
      GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buffer.data(),
                               static_cast<DWORD>(size), ReadSource(file).c_str());
  return std::string(buffer.data(), length);
}

int ProfileReadInt(const std::string& section, const std::string& key, int default_value,
                   const std::string& file) {
  return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), default_value,
                                                ReadSource(file).c_str()));
}

bool ProfileWriteString(const std::string& section, const std::string& key, const char* value,
                        const std::string& file) {
  if (g_batch.open && g_batch.file == file) return WriteInto(g_batch, section, key, value);
  Batch one;
  one.open = true;
  one.file = file;
  WriteInto(one, section, key, value);
  return Commit(one);
}

void ProfileBeginBatch(const std::string& file) {
  Discard(g_batch);
  g_batch = Batch();
  g_batch.open = true;
  g_batch.file = file;
}

bool ProfileCommitBatch() {
  Batch batch = g_batch;
  g_batch = Batch();
  return Commit(batch);
}

void ProfileAbandonBatch() {
  Discard(g_batch);
  g_batch = Batch();
}
