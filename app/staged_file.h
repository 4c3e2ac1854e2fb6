// Files that appear whole or not at all, and sets of them that appear together. Each is
// written through the host's FileReplacement (file_replacement.h): beside its target under
// a temporary name, renamed over the target only on Commit, so an existing file stays as
// it was when anything fails.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/files/file_replacement.h"

namespace vantelle::app {

// A file being written to take `target`'s place. Commit puts it there; a staged file
// never committed is removed. Every failure throws the AppError of WriteError naming the
// target as the user wrote it.
class StagedFile {
public:
  // Starts the file: empty, ready for Write.
  explicit StagedFile(const Filename& target);
  // `bytes` as the whole file, finished and waiting for Commit.
  StagedFile(const Filename& target, const std::vector<unsigned char>& bytes);
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();

  void Write(const void* data, std::size_t size);
  // Flushes and closes the file, so that only the rename is left.
  void Finish();
  void Commit();

  // The file that is written, links followed.
  const std::filesystem::path& Target() const;
  // The target as the user named it, for messages.
  const std::string& Shown() const { return shown_; }
  FileReplacement& File() { return *file_; }

private:
  std::unique_ptr<FileReplacement> file_;  // null once moved from
  std::string shown_;
};

// Commits every staged file in order. When one fails, those already committed are removed
// again and the failure goes on, so a set of files appears whole or not at all.
void CommitAll(std::vector<StagedFile>& staged);

}  // namespace vantelle::app
