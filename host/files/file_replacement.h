// Writing a file whole or not at all: the one way the host and the application write
// what users asked for (scenes, 3D files, pictures). This is the platform's part of file
// writing; another system's build swaps its source alone.
//
// A target name is resolved first: symbolic links are followed to the file they name,
// which need not exist yet. What is found there decides how it is written:
// - nothing, or a regular file: the bytes go to a temporary file beside it, which is
//   flushed to the disk and renamed over the target only once complete, so readers see
//   the old file or the new one, never a part. A replaced file keeps its permissions
//   (and its owner and group, where the process may set them).
// - a character device or a pipe (/dev/null, a terminal, a named pipe): written in
//   place, in order; a reader may see part of it when writing fails.
// - anything else (a folder, a block device, a socket), and a regular file that nobody
//   may write (mode 0444): refused.
// Temporary files are removed when writing fails, when a FileReplacement is destroyed
// before Commit, and, once RemoveTemporaryFilesOnSignal() ran, when the process is ended
// by SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

#include "host/files/files.h"

struct FileWriteError {
  // TARGET: the name leads to something that must not be written (the user can name
  // another). IO: writing failed (a missing folder, no permission, a full disk).
  enum class Kind { TARGET, IO } kind = Kind::IO;
  String message;  // what went wrong, without the file's name: "Is a directory"
};

struct OutputTarget {
  std::filesystem::path path;  // the file that is written: the name with links followed
  Bool inPlace = false;        // a device or pipe, written directly
};

// Where writing `name` would go, checked without writing anything, so a command can
// refuse a target before it starts its work. Null with *error set when writing cannot
// succeed.
std::optional<OutputTarget> ResolveOutputTarget(const Filename& name, FileWriteError* error);

// Whether two names lead to the same file: the same file on the disk, or, for files not
// yet there, the same path once links are followed.
Bool IsSameFile(const Filename& a, const Filename& b);

class FileReplacement {
public:
  // Starts writing `name`: resolves it and opens its temporary file (or the device).
  // Null with *error set when that fails.
  static std::unique_ptr<FileReplacement> Open(const Filename& name, FileWriteError* error);
  ~FileReplacement();  // removes the temporary file unless committed
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Appends bytes. False with *error set on failure; the write is then abandoned and the
  // temporary file removed.
  Bool Write(const void* data, std::size_t size, FileWriteError* error);
  // Flushes everything to the disk and closes the file, so that only the rename is left
  // (several files can wait to replace theirs together). False with *error set on
  // failure, which abandons the write.
  Bool Finish(FileWriteError* error);
  // Finishes if needed, then puts the file in place of the target.
  Bool Commit(FileWriteError* error);

  // The file that is written, links followed.
  const std::filesystem::path& GetTarget() const { return target_.path; }
  // The open file, for a library that writes through a descriptor itself: hand it a dup()
  // and let it close that. Until Finish; -1 after. When replacing a file it is a regular
  // file, so it can seek.
  int GetDescriptor() const { return fd_; }

private:
  FileReplacement() = default;
  Bool Fail(FileWriteError* error, int code, const char* what);
  void Abandon();

  OutputTarget target_;
  std::filesystem::path temporary_;  // empty for in-place writes and once committed
  int fd_ = -1;
  Bool finished_ = false;
  Bool failed_ = false;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the process's temporary files before it ends
// by the signal as it would have. For the host application's main(); later calls do
// nothing. Handlers the application set for those signals beforehand are replaced;
// signals it ignores (SIGHUP under nohup) stay ignored.
void RemoveTemporaryFilesOnSignal();
