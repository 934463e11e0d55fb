// The file seam over the ANSI file functions.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/files_platform.h"

struct OutputFile {
  HANDLE handle;
};

namespace {

FileResult Translate(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
      return FileResult::NotFound;
    default:
      return FileResult::Refused;
  }
}

FileResult LastError() { return Translate(GetLastError()); }

FileResult Result(BOOL ok) { return ok ? FileResult::Done : LastError(); }

}  // namespace

// The attributes answer as a search for the name would (file names hold no
// wildcards), at a fraction of the cost: under Wine a search reads the whole
// folder, and a command asks this of every file it touches.
bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// A rename through a handle of the source. MoveFileA does the same with a
// query of the source's attributes on top, a round trip to the server under
// Wine that every original of an install over a game would pay.
FileResult Rename(const std::string& from, const std::string& to, bool replace) {
  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, to.data(),
                                         static_cast<int>(to.size()), nullptr, 0);
  if (length <= 0) return FileResult::Refused;
  const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(WCHAR);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + bytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;  // the name is a path, relative ones to the current folder
  info->FileNameLength = static_cast<DWORD>(bytes);
  MultiByteToWideChar(CP_ACP, 0, to.data(), static_cast<int>(to.size()), info->FileName, length);
  // Every sharing allowed: only a handle that refuses deletion blocks it, as
  // it would block MoveFileA. Folders open with backup semantics.
  const HANDLE handle =
      CreateFileA(from.c_str(), DELETE | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  const BOOL moved =
      SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
  const DWORD error = GetLastError();
  CloseHandle(handle);
  return moved ? FileResult::Done : Translate(error);
}

}  // namespace

FileResult platform::MoveEntry(const std::string& from, const std::string& to) {
  return Rename(from, to, false);
}

FileResult platform::ReplaceWithEntry(const std::string& from, const std::string& to) {
  return Rename(from, to, true);
}

FileResult platform::DeleteRegularFile(const std::string& path) {
  return Result(DeleteFileA(path.c_str()));
}

FileResult platform::ResetAttributes(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  // FILE_ATTRIBUTE_NORMAL is only valid alone; a folder keeps its flag.
  const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((attributes & blocking) == 0) return FileResult::Done;
  DWORD wanted = attributes & ~(blocking | FILE_ATTRIBUTE_ARCHIVE);
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return Result(SetFileAttributesA(path.c_str(), wanted));
}

FileResult platform::MakeFolder(const std::string& path) {
  return Result(CreateDirectoryA(path.c_str(), nullptr));
}

FileResult platform::RemoveEmptyFolder(const std::string& path) {
  return Result(RemoveDirectoryA(path.c_str()));
}

bool ChangeCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

FileResult platform::CreateNewFile(const std::string& path, OutputFile** out) {
  *out = nullptr;
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  *out = new OutputFile{handle};
  return FileResult::Done;
}

FileResult platform::WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file->handle, bytes, chunk, &written, nullptr)) return LastError();
    if (written == 0) return FileResult::Refused;
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
  return closed ? FileResult::Done : FileResult::Refused;
}

FileResult platform::FlushAndCloseFile(OutputFile* file) {
  const BOOL flushed = FlushFileBuffers(file->handle);
  const DWORD error = GetLastError();
  const BOOL closed = CloseHandle(file->handle);
  delete file;
  if (!flushed) return Translate(error);
  return closed ? FileResult::Done : FileResult::Refused;
}

FileResult ReadWholeFile(const std::string& path,
                         const std::function<bool(const void* data, std::size_t size)>& sink,
                         bool as_removable) {
  // Delete access is granted only when every handle open on the file shares
  // deletion, and the file's security allows it.
  const DWORD access = GENERIC_READ | (as_removable ? DELETE : 0);
  const DWORD sharing =
      as_removable ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
  // A link is opened as itself, never followed: what it points to is not
  // the file that was installed. Its own data is empty, so it reads as a
  // changed file. (Relative names never reach a device: their components
  // are checked against device names.)
  const HANDLE handle = CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // One buffer per thread: a fresh large allocation for every file costs
  // more than reading a small file.
  static constexpr DWORD kChunk = 256 * 1024;
  thread_local std::unique_ptr<char[]> buffer(new char[kChunk]);
  FileResult result = FileResult::Done;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(handle, buffer.get(), kChunk, &read, nullptr)) {
      result = LastError();
      break;
    }
    if (read == 0) break;
    if (!sink(buffer.get(), read)) {
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
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    FolderEntry found;
    found.name = data.cFileName;
    found.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (found.name != "." && found.name != "..") entries.push_back(std::move(found));
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return true;
}
