// What FileReplacement needs of the system, one set of definitions per system; the
// replacement's own steps (write, flush, close, move over, clean up) are shared.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "host/files/file_replacement.h"

namespace file_replacement_detail {

// Shared helpers of both systems' definitions.
String ErrnoString(int code);
void SetError(FileWriteError* error, FileWriteError::Kind kind, String message);
std::filesystem::path FolderOf(const std::filesystem::path& path);

// Lists a temporary file for removal should the process be ended, before it exists.
void RegisterTemporary(const std::filesystem::path& path);
// A temporary name beside `target` that fits the folder's longest file name.
std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned counter);
// Opens an existing non-regular target to write into it; a descriptor, or -1 with errno set.
int OpenInPlace(const std::filesystem::path& path);
// Creates a file that must not exist yet; a descriptor, or -1 with errno set (EEXIST when
// it exists).
int CreateExclusive(const std::filesystem::path& path);
// A path as UTF-8 text for messages.
std::string PathText(const std::filesystem::path& path);
// Gives a new file the owner and permissions of the regular file it will replace.
void KeepOwnerAndMode(int fd, const std::filesystem::path& target);
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
