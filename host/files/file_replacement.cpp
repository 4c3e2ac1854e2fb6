// POSIX file replacement: a temporary file beside the target, fsync, rename, fsync of the
// folder.
#include "host/files/file_replacement.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // as the kernel's own limit for a path

String ErrnoString(int code) { return String(std::error_code(code, std::generic_category()).message()); }

void SetError(FileWriteError* error, FileWriteError::Kind kind, String message) {
  if (error != nullptr) {
    error->kind = kind;
    error->message = std::move(message);
  }
}

// The temporary files that exist now. A signal handler walks the list, so it changes only
// while this thread blocks those signals; the application writes files from one thread.
std::mutex g_temporariesMutex;
std::vector<std::string> g_temporaries;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

class CleanupSignalsBlocked {
public:
  CleanupSignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) {
      sigaddset(&set, sig);
    }
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~CleanupSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
  CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

private:
  sigset_t previous_;
};

void RegisterTemporary(const fs::path& path) {
  std::lock_guard lock(g_temporariesMutex);
  std::string copy = path.string();  // allocated before the signals are blocked
  const CleanupSignalsBlocked blocked;
  g_temporaries.push_back(std::move(copy));
}

void UnregisterTemporary(const fs::path& path) {
  std::lock_guard lock(g_temporariesMutex);
  const CleanupSignalsBlocked blocked;
  const auto it = std::find(g_temporaries.begin(), g_temporaries.end(), path.string());
  if (it != g_temporaries.end()) {
    // Moving the last entry into the hole frees nothing, so the handler never reads freed text.
    std::swap(*it, g_temporaries.back());
    g_temporaries.pop_back();
  }
}

extern "C" void RemoveTemporariesAndEnd(int sig) {
  for (const std::string& path : g_temporaries) {
    ::unlink(path.c_str());
  }
  // The handler was installed to reset itself, so this ends the process as the signal
  // would have once the handler returns.
  ::raise(sig);
}

// The name with symbolic links in its last part followed, as far as they go.
bool FollowLinks(fs::path path, fs::path& resolved, int& code) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      resolved = path;
      return true;
    }
    std::error_code ec;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) {
      code = ec.value();
      return false;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  code = ELOOP;
  return false;
}

fs::path FolderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// ".NAME.PID.N.tmp", with NAME shortened so the whole fits the folder's longest name.
fs::path TemporaryName(const fs::path& target, unsigned counter) {
  const fs::path folder = FolderOf(target);
  long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax <= 0) {
    nameMax = NAME_MAX;
  }
  const std::string tail = "." + std::to_string(::getpid()) + "." + std::to_string(counter) + ".tmp";
  std::string name = target.filename().string();
  const std::size_t room = static_cast<std::size_t>(nameMax) - 1 - tail.size();
  if (name.size() > room) {
    std::size_t cut = room;
    // Never in the middle of a UTF-8 sequence, so listings still show the name.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    name.resize(cut);
  }
  return folder / ("." + name + tail);
}

}  // namespace

std::optional<OutputTarget> ResolveOutputTarget(const Filename& name, FileWriteError* error) {
  using Kind = FileWriteError::Kind;
  const fs::path path = name.GetPath();
  if (path.empty() || !path.has_filename()) {
    SetError(error, Kind::TARGET, "not a file name");
    return std::nullopt;
  }
  OutputTarget target;
  int code = 0;
  if (!FollowLinks(path, target.path, code)) {
    SetError(error, code == ELOOP ? Kind::TARGET : Kind::IO, ErrnoString(code));
    return std::nullopt;
  }
  struct stat st {};
  if (::stat(target.path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      SetError(error, Kind::IO, ErrnoString(errno));
      return std::nullopt;
    }
    st.st_mode = 0;  // nothing there yet: a new regular file
  }
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
    if (::access(target.path.c_str(), W_OK) != 0) {
      SetError(error, Kind::IO, ErrnoString(errno));
      return std::nullopt;
    }
    target.inPlace = true;
    return target;
  }
  if (S_ISDIR(st.st_mode)) {
    SetError(error, Kind::TARGET, ErrnoString(EISDIR));
    return std::nullopt;
  }
  if (st.st_mode != 0 && !S_ISREG(st.st_mode)) {
    SetError(error, Kind::TARGET, S_ISBLK(st.st_mode) ? "is a block device, not a file" : "is not a file");
    return std::nullopt;
  }
  // Renaming over a file needs no permission on the file itself, so a read-only one
  // would be replaced silently; even for root, a file nobody may write stays.
  if (st.st_mode != 0 && ((st.st_mode & 0222) == 0 || ::access(target.path.c_str(), W_OK) != 0)) {
    SetError(error, Kind::TARGET, "is read-only");
    return std::nullopt;
  }
  const fs::path folder = FolderOf(target.path);
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0) {
    SetError(error, Kind::IO, ErrnoString(errno));
    return std::nullopt;
  }
  if (!S_ISDIR(folderStat.st_mode)) {
    SetError(error, Kind::IO, ErrnoString(ENOTDIR));
    return std::nullopt;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    SetError(error, Kind::IO, "cannot create a file in " + folder.string() + ": " + ErrnoString(errno).GetStd());
    return std::nullopt;
  }
  return target;
}

Bool IsSameFile(const Filename& a, const Filename& b) {
  fs::path pa, pb;
  int code = 0;
  if (!FollowLinks(a.GetPath(), pa, code) || !FollowLinks(b.GetPath(), pb, code)) {
    return false;
  }
  struct stat sa {}, sb {};
  const bool hasA = ::stat(pa.c_str(), &sa) == 0;
  const bool hasB = ::stat(pb.c_str(), &sb) == 0;
  if (hasA && hasB) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  if (hasA || hasB) {
    return false;
  }
  std::error_code ea, eb;
  const fs::path ca = fs::weakly_canonical(fs::absolute(pa), ea);
  const fs::path cb = fs::weakly_canonical(fs::absolute(pb), eb);
  return !ea && !eb && ca == cb;
}

std::unique_ptr<FileReplacement> FileReplacement::Open(const Filename& name, FileWriteError* error) {
  std::optional<OutputTarget> target = ResolveOutputTarget(name, error);
  if (!target) {
    return nullptr;
  }
  std::unique_ptr<FileReplacement> file(new FileReplacement());
  file->target_ = *target;
  if (target->inPlace) {
    file->fd_ = ::open(target->path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (file->fd_ < 0) {
      SetError(error, FileWriteError::Kind::IO, ErrnoString(errno));
      return nullptr;
    }
    return file;
  }

  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && file->fd_ < 0; ++attempt) {
    const fs::path temporary = TemporaryName(target->path, counter.fetch_add(1));
    // Known before the file exists, so no signal can leave it behind unlisted.
    RegisterTemporary(temporary);
    file->fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file->fd_ >= 0) {
      file->temporary_ = temporary;
      break;
    }
    const int code = errno;
    UnregisterTemporary(temporary);
    if (code != EEXIST) {
      SetError(error, FileWriteError::Kind::IO,
               "cannot create a file in " + FolderOf(target->path).string() + ": " + ErrnoString(code).GetStd());
      return nullptr;
    }
  }
  if (file->fd_ < 0) {
    SetError(error, FileWriteError::Kind::IO, "no free temporary name in " + FolderOf(target->path).string());
    return nullptr;
  }
  // A replaced file keeps who owns it and who may read it.
  struct stat existing {};
  if (::stat(target->path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      (void)::fchown(file->fd_, existing.st_uid, existing.st_gid);
    }
    (void)::fchmod(file->fd_, existing.st_mode & 07777);
  }
  return file;
}

FileReplacement::~FileReplacement() { Abandon(); }

void FileReplacement::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    UnregisterTemporary(temporary_);
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
    const ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
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
  if (!target_.inPlace && ::fsync(fd_) != 0) {
    return Fail(error, errno, "");
  }
  const int closed = ::close(fd_);
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
  if (::rename(temporary_.c_str(), target_.path.c_str()) != 0) {
    return Fail(error, errno, "cannot replace the file: ");
  }
  UnregisterTemporary(temporary_);
  temporary_.clear();
  // The rename itself reaches the disk only with the folder.
  const int folder = ::open(FolderOf(target_.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)::fsync(folder);
    ::close(folder);
  }
  return true;
}

void RemoveTemporaryFilesOnSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kCleanupSignals) {
      sigaddset(&action.sa_mask, sig);
    }
    for (int sig : kCleanupSignals) {
      // An ignored signal stays ignored: under nohup a hangup must not end the process.
      struct sigaction current {};
      if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
        ::sigaction(sig, &action, nullptr);
      }
    }
  });
}
