#include "app/staged_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/output_files.h"

namespace vantelle::app {

namespace {

std::string ShownName(const Filename& target) {
  const std::string shown = target.GetString().GetStd();
  return shown.empty() ? std::string("\"\"") : shown;
}

}  // namespace

StagedFile::StagedFile(const Filename& target) : shown_(ShownName(target)) {
  FileWriteError error;
  file_ = FileReplacement::Open(target, &error);
  if (file_ == nullptr) {
    throw WriteError(shown_, error);
  }
}

StagedFile::StagedFile(const Filename& target, const std::vector<unsigned char>& bytes) : StagedFile(target) {
  Write(bytes.data(), bytes.size());
  Finish();
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : file_(std::move(other.file_)), shown_(std::move(other.shown_)) {}

StagedFile::~StagedFile() = default;

void StagedFile::Write(const void* data, std::size_t size) {
  FileWriteError error;
  if (!file_->Write(data, size, &error)) {
    throw WriteError(shown_, error);
  }
}

void StagedFile::Finish() {
  FileWriteError error;
  if (!file_->Finish(&error)) {
    throw WriteError(shown_, error);
  }
}

void StagedFile::Commit() {
  FileWriteError error;
  if (file_ == nullptr || !file_->Commit(&error)) {
    throw WriteError(shown_, error);
  }
}

const std::filesystem::path& StagedFile::Target() const {
  return file_->GetTarget();
}

void CommitAll(std::vector<StagedFile>& staged) {
  std::size_t committed = 0;
  try {
    for (; committed < staged.size(); ++committed) {
      staged[committed].Commit();
    }
  } catch (...) {
    for (std::size_t k = 0; k < committed; ++k) {
      std::error_code ignored;
      std::filesystem::remove(staged[k].Target(), ignored);
    }
    throw;
  }
}

}  // namespace vantelle::app
