// Files that appear whole or not at all: each is written beside its target under a
// temporary name and renamed over the target only when complete, so an existing file
// stays as it was when anything fails.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vantelle::app {

// A new empty file beside `target`, in the same folder so the final rename stays on one
// file system; returns its path. Failure naming `shown` when none can be made.
std::string CreateTemporaryBeside(const std::filesystem::path& target, const std::string& shown);

// The system's words for an errno value.
std::string ErrorText(int error);

// A file written whole beside `target`. Commit puts it in the target's place; a staged
// file never committed is removed.
class StagedFile {
public:
  // Has `write` fill a new temporary file, given its path; `write` throws a Failure when
  // it cannot. Failure naming the target when it is no file name or is a folder.
  StagedFile(const std::filesystem::path& target, const std::function<void(const std::string& temporary)>& write);
  // `bytes` as the file; Failure naming the target when they cannot be written.
  StagedFile(const std::filesystem::path& target, const std::vector<unsigned char>& bytes);
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile();

  void Commit();
  const std::filesystem::path& Target() const { return target_; }

private:
  std::string temporary_;
  std::filesystem::path target_;
};

}  // namespace vantelle::app

namespace vantelle::app {

// Commits every staged file in order. When one fails, those already committed are removed
// again and the failure goes on, so a set of files appears whole or not at all.
void CommitAll(std::vector<StagedFile>& staged);

}  // namespace vantelle::app
