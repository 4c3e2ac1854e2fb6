// POSIX file replacement: a temporary file beside the target, fsync, rename, fsync of the
// folder.
#include "host/files/file_replacement.h"
#include "host/files/file_replacement_system.h"

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

namespace fs = std::filesystem;
using namespace file_replacement_detail;

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit for a path

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

namespace file_replacement_detail {

void RegisterTemporary(const fs::path& path) {
  std::lock_guard lock(g_temporariesMutex);
  std::string copy = path.string();  // allocated before the signals are blocked
  const CleanupSignalsBlocked blocked;
  g_temporaries.push_back(std::move(copy));
}

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

int OpenInPlace(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC); }

int CreateExclusive(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }

std::string PathText(const fs::path& path) { return path.string(); }

void KeepOwnerAndMode(int fd, const fs::path& target) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    (void)::fchmod(fd, existing.st_mode & 07777);
  }
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

std::ptrdiff_t WriteSome(int fd, const char* bytes, std::size_t size) {
  for (;;) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written >= 0 || errno != EINTR) {
      return written;
    }
  }
}

int FlushToDisk(int fd) { return ::fsync(fd); }

int CloseFile(int fd) { return ::close(fd); }

void RemoveTemporary(const fs::path& path) {
  ::unlink(path.c_str());
  UnregisterTemporary(path);
}

std::optional<String> MoveOver(const fs::path& temporary, const fs::path& target) {
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    return ErrnoString(errno);
  }
  // The rename itself reaches the disk only with the folder.
  const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    (void)::fsync(folder);
    ::close(folder);
  }
  return std::nullopt;
}

}  // namespace file_replacement_detail

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
