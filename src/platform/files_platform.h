#pragma once
// The platform's side of the changing calls of files.h, which reach them
// through the table of disk_calls.h. Only that table names them.
#include "platform/files.h"

namespace platform {
FileResult MoveEntry(const std::string& from, const std::string& to);
FileResult ReplaceWithEntry(const std::string& from, const std::string& to);
FileResult DeleteRegularFile(const std::string& path);
FileResult ResetAttributes(const std::string& path);
FileResult MakeFolder(const std::string& path);
FileResult RemoveEmptyFolder(const std::string& path);
FileResult CreateNewFile(const std::string& path, OutputFile** out);
FileResult WriteToFile(OutputFile* file, const void* data, std::size_t size);
FileResult CloseFile(OutputFile* file, std::int64_t modified_unix_time);
FileResult FlushAndCloseFile(OutputFile* file);
}  // namespace platform
