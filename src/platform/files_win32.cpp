// The file seam over the wide file functions. Every path is converted once,
// exactly, from the ANSI code page into the \\?\ form (wide_path_win32.h),
// so that any length the system allows is reached from every thread, and no
// call depends on, or changes, the process's current folder.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/disk_calls.h"
#include "platform/files.h"
#include "platform/files_platform.h"
#include "platform/wide_path_win32.h"

struct OutputFile {
  HANDLE handle;
};

namespace {

// A read-only file answers "access denied" to a change for good; anything
// else that does may be a file another program has open for a moment.
FileCause CauseOf(DWORD error, const std::wstring* path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
      return FileCause::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileCause::InUse;
    case ERROR_ACCESS_DENIED: {
      const DWORD attributes =
          path != nullptr ? GetFileAttributesW(path->c_str()) : INVALID_FILE_ATTRIBUTES;
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0
                 ? FileCause::ReadOnly
                 : FileCause::AccessDenied;
    }
    case ERROR_WRITE_PROTECT:
      return FileCause::ReadOnly;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileCause::DiskFull;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileCause::NameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return FileCause::BadName;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
      return FileCause::Exists;
    default:
      return FileCause::Other;
  }
}

FileResult Translate(DWORD error, const std::wstring* path = nullptr) {
  const FileCause cause = CauseOf(error, path);
  SetLastFileCause(cause);
  return cause == FileCause::NotFound ? FileResult::NotFound : FileResult::Refused;
}

FileResult LastError(const std::wstring* path = nullptr) { return Translate(GetLastError(), path); }

FileResult Result(BOOL ok, const std::wstring& path) {
  return ok ? FileResult::Done : LastError(&path);
}

// A path the seam cannot form is refused before any call: the code page
// has no such bytes, or it is no full path.
FileResult Unreachable() {
  SetLastFileCause(FileCause::BadName);
  return FileResult::Refused;
}

DWORD AttributesOf(const std::string& path) {
  std::wstring wide;
  return ToWidePath(path, wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

// A rename through a handle of the source. MoveFileW does the same with a
// query of the source's attributes on top, a round trip to the server under
// Wine that every original of an install over a game would pay.
FileResult Rename(const std::string& from, const std::string& to, bool replace) {
  std::wstring source;
  std::wstring target;
  if (!ToWidePath(from, source) || !ToWidePath(to, target)) return Unreachable();
  const std::size_t bytes = target.size() * sizeof(WCHAR);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + bytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;  // the name is a full path
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::copy(target.begin(), target.end(), info->FileName);
  // Every sharing allowed: only a handle that refuses deletion blocks it, as
  // it would block MoveFileW. Folders open with backup semantics.
  const HANDLE handle =
      CreateFileW(source.c_str(), DELETE | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError(&source);
  const BOOL moved =
      SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
  const DWORD error = GetLastError();
  CloseHandle(handle);
  // "Access denied" for a read-only file in the way is the target's.
  return moved ? FileResult::Done : Translate(error, replace ? &target : &source);
}

// The attributes that keep a file from being deleted or replaced.
constexpr DWORD kBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

// The attributes answer as a search for the name would (file names hold no
// wildcards), at a fraction of the cost: under Wine a search reads the whole
// folder, and a command asks this of every file it touches.
bool FileExists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileResult platform::MoveEntry(const std::string& from, const std::string& to) {
  return Rename(from, to, false);
}

FileResult platform::ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Rename(from, to, true);
}

FileResult platform::DeleteRegularFile(const std::string& path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  return Result(DeleteFileW(wide.c_str()), wide);
}

FileResult platform::ResetAttributes(const std::string& path, FileAttributes& before) {
  before = FileAttributes();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError(&wide);
  before.bits = attributes;
  if ((attributes & kBlocking) == 0) return FileResult::Done;
  // FILE_ATTRIBUTE_NORMAL is only valid alone; a folder keeps its flag.
  DWORD wanted = attributes & ~kBlocking;
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesW(wide.c_str(), wanted)) return LastError(&wide);
  before.cleared = true;
  return FileResult::Done;
}

FileResult platform::RestoreAttributes(const std::string& path, const FileAttributes& before) {
  if (!before.cleared) return FileResult::Done;
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  return Result(SetFileAttributesW(wide.c_str(), before.bits), wide);
}

FileResult platform::MakeFolder(const std::string& path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  return Result(CreateDirectoryW(wide.c_str(), nullptr), wide);
}

FileResult platform::RemoveEmptyFolder(const std::string& path) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  return Result(RemoveDirectoryW(wide.c_str()), wide);
}

FileResult platform::CreateNewFile(const std::string& path, OutputFile** out) {
  *out = nullptr;
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError(&wide);
  *out = new OutputFile{handle};
  return FileResult::Done;
}

FileResult platform::WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file->handle, bytes, chunk, &written, nullptr)) return LastError();
    if (written == 0) return Translate(ERROR_DISK_FULL);
    bytes += written;
    size -= written;
  }
  return FileResult::Done;
}

FileResult platform::CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  // FILETIME counts 100 ns steps since 1601.
  const ULONGLONG ticks =
      static_cast<ULONGLONG>(modified_unix_time + 11644473600LL) * 10000000ULL;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const BOOL timed = SetFileTime(file->handle, nullptr, nullptr, &time);
  const DWORD error = GetLastError();
  const BOOL closed = CloseHandle(file->handle);
  delete file;
  if (!timed) return Translate(error);
  return closed ? FileResult::Done : LastError();
}

FileResult platform::FlushAndCloseFile(OutputFile* file) {
  const BOOL flushed = FlushFileBuffers(file->handle);
  const DWORD error = GetLastError();
  const BOOL closed = CloseHandle(file->handle);
  delete file;
  if (!flushed) return Translate(error);
  return closed ? FileResult::Done : LastError();
}

void platform::Pause(unsigned milliseconds) { Sleep(milliseconds); }

FileResult platform::ReadWholeFile(
    const std::string& path, const std::function<bool(const void* data, std::size_t size)>& sink,
    bool as_removable) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return Unreachable();
  // Delete access is granted only when every handle open on the file shares
  // deletion, and the file's security allows it.
  const DWORD access = GENERIC_READ | (as_removable ? DELETE : 0);
  const DWORD sharing =
      as_removable ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
  // A link is opened as itself, never followed: what it points to is not
  // the file that was installed. Its own data is empty, so it reads as a
  // changed file. (Names never reach a device: their components are checked
  // against device names, and \\.\ paths are refused.)
  const HANDLE handle = CreateFileW(wide.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError(&wide);
  // One buffer per thread: a fresh large allocation for every file costs
  // more than reading a small file.
  static constexpr DWORD kChunk = 256 * 1024;
  thread_local std::unique_ptr<char[]> buffer(new char[kChunk]);
  FileResult result = FileResult::Done;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(handle, buffer.get(), kChunk, &read, nullptr)) {
      result = LastError(&wide);
      break;
    }
    if (read == 0) break;
    if (!sink(buffer.get(), read)) {
      SetLastFileCause(FileCause::Other);
      result = FileResult::Refused;
      break;
    }
    // A short read of a file on disk is its end: one call less for every
    // small file, which is most of what a mod holds.
    if (read < kChunk) break;
  }
  CloseHandle(handle);
  return result;
}

struct InputFile {
  HANDLE handle;
};

InputFile* OpenInputFile(const std::string& path, std::uint64_t& size) {
  std::wstring wide;
  if (!ToWidePath(path, wide)) return nullptr;
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(handle, &length) || length.QuadPart < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return new InputFile{handle};
}

bool ReadFromFile(InputFile* file, std::uint64_t position, void* data, std::size_t size) {
  char* out = static_cast<char*>(data);
  while (size > 0) {
    // On a handle opened for synchronous reads the offset in OVERLAPPED
    // makes this a positioned read, and the call returns when it is done.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(file->handle, out, want, &read, &at) || read == 0) return false;
    out += read;
    position += read;
    size -= read;
  }
  return true;
}

void CloseInputFile(InputFile* file) {
  if (file == nullptr) return;
  CloseHandle(file->handle);
  delete file;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::wstring wide;
  if (!ToWidePath(path, wide)) return false;
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileExW((wide + L"\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry found;
    // A name the code page cannot hold matches no name the program asks
    // about; it still counts, so that its folder is not taken for empty.
    if (!FromWideName(name, found.name)) found.name.clear();
    found.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(std::move(found));
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return true;
}
