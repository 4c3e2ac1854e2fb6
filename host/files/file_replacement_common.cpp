// The steps of replacing a file, the same on every system; what each system does its own
// way is in file_replacement_system.h.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>

#include "host/files/file_replacement.h"
#include "host/files/file_replacement_system.h"

namespace file_replacement_detail {

String ErrnoString(int code) { return String(std::error_code(code, std::generic_category()).message()); }

void SetError(FileWriteError* error, FileWriteError::Kind kind, String message) {
  if (error != nullptr) {
    error->kind = kind;
    error->message = std::move(message);
  }
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace file_replacement_detail

using namespace file_replacement_detail;

std::unique_ptr<FileReplacement> FileReplacement::Open(const Filename& name, FileWriteError* error) {
  std::optional<OutputTarget> target = ResolveOutputTarget(name, error);
  if (!target) {
    return nullptr;
  }
  std::unique_ptr<FileReplacement> file(new FileReplacement());
  file->target_ = *target;
  if (target->inPlace) {
    file->fd_ = OpenInPlace(target->path);
    if (file->fd_ < 0) {
      SetError(error, FileWriteError::Kind::IO, ErrnoString(errno));
      return nullptr;
    }
    return file;
  }

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && file->fd_ < 0; ++attempt) {
    const std::filesystem::path temporary = TemporaryName(target->path, counter.fetch_add(1));
    // Known before the file exists, so no signal can leave it behind unlisted.
    RegisterTemporary(temporary);
    file->fd_ = CreateExclusive(temporary);
    if (file->fd_ >= 0) {
      file->temporary_ = temporary;
      break;
    }
    const int code = errno;
    UnregisterTemporary(temporary);
    if (code != EEXIST) {
      SetError(error, FileWriteError::Kind::IO,
               "cannot create a file in " + PathText(FolderOf(target->path)) + ": " + ErrnoString(code).GetStd());
      return nullptr;
    }
  }
  if (file->fd_ < 0) {
    SetError(error, FileWriteError::Kind::IO, "no free temporary name in " + PathText(FolderOf(target->path)));
    return nullptr;
  }
  // A replaced file keeps who owns it and who may read it.
  KeepOwnerAndMode(file->fd_, target->path);
  return file;
}

FileReplacement::~FileReplacement() { Abandon(); }

void FileReplacement::Abandon() {
  if (fd_ >= 0) {
    CloseFile(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    RemoveTemporary(temporary_);
    temporary_.clear();
  }
}

Bool FileReplacement::Fail(FileWriteError* error, int code, const char* what) {
  Abandon();
  failed_ = true;
  SetError(error, FileWriteError::Kind::IO, String(what) + ErrnoString(code).GetStd());
  return false;
}

Bool FileReplacement::Write(const void* data, std::size_t size, FileWriteError* error) {
  if (failed_ || finished_ || fd_ < 0) {
    SetError(error, FileWriteError::Kind::IO, "the file is closed");
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const std::ptrdiff_t written = WriteSome(fd_, bytes, size);
    if (written < 0) {
      return Fail(error, errno, "");
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

Bool FileReplacement::Finish(FileWriteError* error) {
  if (finished_) {
    return true;
  }
  if (failed_ || fd_ < 0) {
    SetError(error, FileWriteError::Kind::IO, "the file is closed");
    return false;
  }
  // A device or pipe has nothing to flush to a disk.
  if (!target_.inPlace && FlushToDisk(fd_) != 0) {
    return Fail(error, errno, "");
  }
  const int closed = CloseFile(fd_);
  fd_ = -1;
  if (closed != 0) {
    return Fail(error, errno, "");
  }
  finished_ = true;
  return true;
}

Bool FileReplacement::Commit(FileWriteError* error) {
  if (!Finish(error)) {
    return false;
  }
  if (target_.inPlace) {
    return true;
  }
  if (temporary_.empty()) {
    SetError(error, FileWriteError::Kind::IO, "the file is already in place");
    return false;
  }
  if (const std::optional<String> why = MoveOver(temporary_, target_.path)) {
    Abandon();
    failed_ = true;
    SetError(error, FileWriteError::Kind::IO, "cannot replace the file: " + why->GetStd());
    return false;
  }
  UnregisterTemporary(temporary_);
  temporary_.clear();
  return true;
}
