#include "app/staged_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "app/app_error.h"

namespace vantelle::app {

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

std::string CreateTemporaryBeside(const std::filesystem::path& target, const std::string& shown) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + target.filename().string() + "." + std::to_string(getpid()) + "." +
                             std::to_string(counter.fetch_add(1)) + ".tmp";
    const std::string path = (folder / name).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) {
      throw Failure("cannot write " + shown + ": " + ErrorText(errno));
    }
  }
  throw Failure("cannot write " + shown + ": no free temporary name in its folder");
}

StagedFile::StagedFile(const std::filesystem::path& target,
                       const std::function<void(const std::string& temporary)>& write)
    : target_(target) {
  const std::string shown = target_.string();
  if (target_.empty() || !target_.has_filename()) {
    throw Failure("cannot write " + (shown.empty() ? std::string("\"\"") : shown) + ": not a file name");
  }
  // Caught before writing a whole file that could never take its place.
  std::error_code error;
  if (std::filesystem::is_directory(target_, error)) {
    throw Failure("cannot write " + shown + ": " + ErrorText(EISDIR));
  }
  const std::string temporary = CreateTemporaryBeside(target_, shown);
  try {
    write(temporary);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  temporary_ = temporary;
}

StagedFile::StagedFile(const std::filesystem::path& target, const std::vector<unsigned char>& bytes)
    : StagedFile(target, [&target, &bytes](const std::string& temporary) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        std::size_t written = 0;
        while (fd >= 0 && written < bytes.size()) {
          const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
          if (n < 0 && errno == EINTR) {
            continue;
          }
          if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
          }
          written += static_cast<std::size_t>(n);
        }
        if (fd >= 0 && ::close(fd) != 0 && error == 0) {
          error = errno;
        }
        if (error != 0) {
          throw Failure("cannot write " + target.string() + ": " + ErrorText(error));
        }
      }) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : temporary_(std::exchange(other.temporary_, std::string())), target_(std::move(other.target_)) {}

StagedFile::~StagedFile() {
  if (!temporary_.empty()) {
    std::remove(temporary_.c_str());
  }
}

void StagedFile::Commit() {
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    throw Failure("cannot write " + target_.string() + ": " + ErrorText(errno));
  }
  temporary_.clear();
}

}  // namespace vantelle::app

namespace vantelle::app {

void CommitAll(std::vector<StagedFile>& staged) {
  std::size_t committed = 0;
  try {
    for (; committed < staged.size(); ++committed) {
      staged[committed].Commit();
    }
  } catch (...) {
    for (std::size_t k = 0; k < committed; ++k) {
      std::remove(staged[k].Target().c_str());
    }
    throw;
  }
}

}  // namespace vantelle::app
