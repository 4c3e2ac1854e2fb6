// What FileReplacement needs of the system, one set of definitions per system; the
// replacement's own steps (write, flush, close, move over, clean up) are shared.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "host/files/file_replacement.h"

namespace file_replacement_detail {

// Shared helpers of both systems' definitions.
String ErrnoString(int code);
void SetError(FileWriteError* error, FileWriteError::Kind kind, String message);
std::filesystem::path FolderOf(const std::filesystem::path& path);

// Writes up to `size` bytes; the count written, or -1 with errno set.
std::ptrdiff_t WriteSome(int fd, const char* bytes, std::size_t size);
// Flushes a file's data to the disk; 0, or -1 with errno set.
int FlushToDisk(int fd);
// Closes a descriptor; 0, or -1 with errno set.
int CloseFile(int fd);
// Removes a temporary file and drops it from the list cleaned up when the process ends.
void RemoveTemporary(const std::filesystem::path& path);
// Drops a temporary file that now stands in place of its target from that list.
void UnregisterTemporary(const std::filesystem::path& path);
// Puts `temporary` in place of `target`, durably; the reason when it cannot.
std::optional<String> MoveOver(const std::filesystem::path& temporary, const std::filesystem::path& target);

}  // namespace file_replacement_detail
