#define _FILE_OFFSET_BITS 64  // 64-bit positions on 32-bit systems too

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/disk_calls.h"
#include "platform/files.h"
#include "platform/files_platform.h"

struct OutputFile {
  int fd;
};

namespace {

FileCause CauseOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileCause::NotFound;
    case EBUSY:
    case ETXTBSY:
      return FileCause::InUse;
    case EROFS:
      return FileCause::ReadOnly;
    case EACCES:
    case EPERM:
      return FileCause::AccessDenied;
    case ENOSPC:
    case EDQUOT:
      return FileCause::DiskFull;
    case ENAMETOOLONG:
      return FileCause::NameTooLong;
    case EILSEQ:
    case EINVAL:
      return FileCause::BadName;
    case EEXIST:
    case ENOTEMPTY:
      return FileCause::Exists;
    case ELOOP:
      return FileCause::NotRegular;
    default:
      return FileCause::Other;
  }
}

FileResult Translate(int error) {
  const FileCause cause = CauseOf(error);
  SetLastFileCause(cause);
  return cause == FileCause::NotFound ? FileResult::NotFound : FileResult::Refused;
}

FileResult Failed(FileResult result, FileCause cause) {
  SetLastFileCause(cause);
  return result;
}

FileResult FromErrno() { return Translate(errno); }

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileResult platform::MoveEntry(const std::string& from, const std::string& to) {
  // Never replace: a backup or an original may stand at the destination.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return FileResult::Done;
  }
  if (errno != EINVAL && errno != ENOSYS) return FromErrno();
  // File systems without the flag: check, then rename.
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return FromErrno();
  if (lstat(to.c_str(), &st) == 0) return Failed(FileResult::Refused, FileCause::Exists);
  if (rename(from.c_str(), to.c_str()) != 0) return FromErrno();
  return FileResult::Done;
}

FileResult platform::ReplaceWithEntry(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? FileResult::Done : FromErrno();
}

FileResult platform::DeleteRegularFile(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return FromErrno();
  if (S_ISDIR(st.st_mode)) return Failed(FileResult::Refused, FileCause::NotRegular);
  if (unlink(path.c_str()) != 0) return FromErrno();
  return FileResult::Done;
}

// A file's own mode never keeps it from being renamed, replaced or deleted
// here (its folder's does): nothing to clear, and an original keeps its mode.
FileResult platform::ResetAttributes(const std::string& path, FileAttributes& before) {
  before = FileAttributes();
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? FileResult::Done : FromErrno();
}

FileResult platform::RestoreAttributes(const std::string&, const FileAttributes&) {
  return FileResult::Done;
}

void platform::Pause(unsigned milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

FileResult platform::MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0) return FromErrno();
  return FileResult::Done;
}

FileResult platform::RemoveEmptyFolder(const std::string& path) {
  if (rmdir(path.c_str()) != 0) return FromErrno();
  return FileResult::Done;
}

FileResult platform::CreateNewFile(const std::string& path, OutputFile** out) {
  *out = nullptr;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno();
  *out = new OutputFile{fd};
  return FileResult::Done;
}

FileResult platform::WriteToFile(OutputFile* file, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(file->fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno();
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return FileResult::Done;
}

FileResult platform::CloseFile(OutputFile* file, std::int64_t modified_unix_time) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(modified_unix_time);
  times[1].tv_nsec = 0;
  const bool timed = futimens(file->fd, times) == 0;
  const int error = errno;
  const bool closed = close(file->fd) == 0;
  delete file;
  if (!timed) return Translate(error);
  return closed ? FileResult::Done : Failed(FileResult::Refused, FileCause::Other);
}

FileResult platform::FlushAndCloseFile(OutputFile* file) {
  const bool synced = fsync(file->fd) == 0;
  const int error = errno;
  const bool closed = close(file->fd) == 0;
  delete file;
  if (!synced) return Translate(error);
  return closed ? FileResult::Done : Failed(FileResult::Refused, FileCause::Other);
}

FileResult platform::ReadWholeFile(const std::string& path,
                         const std::function<bool(const void* data, std::size_t size)>& sink,
                         bool as_removable) {
  // Without blocking: opening a pipe would wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno == ELOOP ? Failed(FileResult::NotRegular, FileCause::NotRegular) : FromErrno();
  struct stat st {};
  const bool stated = fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    const FileResult result =
        stated ? Failed(FileResult::NotRegular, FileCause::NotRegular) : FromErrno();
    close(fd);
    return result;
  }
  // Nothing holds a file here: whether it can go is its folder's to say.
  if (as_removable) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
      const FileResult denied = FromErrno();
      close(fd);
      return denied;
    }
  }
  // One buffer per thread: a fresh large allocation for every file costs
  // more than reading a small file.
  static constexpr std::size_t kChunk = 256 * 1024;
  thread_local std::unique_ptr<char[]> buffer(new char[kChunk]);
  FileResult result = FileResult::Done;
  for (;;) {
    const ssize_t n = read(fd, buffer.get(), kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = FromErrno();
      break;
    }
    if (n == 0) break;
    if (!sink(buffer.get(), static_cast<std::size_t>(n))) {
      result = Failed(FileResult::Refused, FileCause::Other);
      break;
    }
  }
  close(fd);
  return result;
}

struct InputFile {
  int fd;
};

InputFile* OpenInputFile(const std::string& path, std::uint64_t& size) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return new InputFile{fd};
}

bool ReadFromFile(InputFile* file, std::uint64_t position, void* data, std::size_t size) {
  char* out = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = pread(file->fd, out, size, static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    position += static_cast<std::uint64_t>(n);
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void CloseInputFile(InputFile* file) {
  if (file == nullptr) return;
  close(file->fd);
  delete file;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
  entries.clear();
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = readdir(dir)) {
    FolderEntry found;
    found.name = entry->d_name;
    if (found.name == "." || found.name == "..") continue;
    if (entry->d_type == DT_UNKNOWN) {  // some file systems do not say
      struct stat st;
      found.is_folder = fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode);
    } else {
      found.is_folder = entry->d_type == DT_DIR;
    }
    entries.push_back(std::move(found));
  }
  closedir(dir);
  return true;
}
