#pragma once
// The platform's side of the calls of files.h that disk_calls.cpp puts a
// retry in front of (and, for the changing ones, a table). Only it names
// them. Each records the cause of its failure (SetLastFileCause).
#include "platform/files.h"

namespace platform {
FileResult MoveEntry(const std::string& from, const std::string& to);
FileResult ReplaceWithEntry(const std::string& from, const std::string& to);
FileResult DeleteRegularFile(const std::string& path);
FileResult ResetAttributes(const std::string& path, FileAttributes& before);
FileResult RestoreAttributes(const std::string& path, const FileAttributes& before);
FileResult MakeFolder(const std::string& path);
FileResult RemoveEmptyFolder(const std::string& path);
FileResult CreateNewFile(const std::string& path, OutputFile** out);
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size);
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time);
FileResult FlushAndCloseFile(OutputFile* file);
FileResult ReadWholeFile(const std::string& path,
                         const std::function<bool(const void* data, std::size_t size)>& sink,
                         bool as_removable);
void Pause(unsigned milliseconds);
}  // namespace platform
