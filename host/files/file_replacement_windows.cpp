// Windows file replacement: a temporary file beside the target, flushed to the disk, then
// moved over the target with MoveFileEx (replace existing, write through). Paths go to the
// wide-character API, so any UTF-8 name works.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "host/files/file_replacement.h"
#include "host/files/file_replacement_system.h"
#include "host/system/windows_text.h"

namespace fs = std::filesystem;
using namespace file_replacement_detail;

namespace {

constexpr int kMaxLinks = 40;
// The longest file name NTFS and FAT keep, in UTF-16 units.
constexpr std::size_t kNameMax = 255;

// The temporary files that exist now, removed by the console's control handler when the
// process is ended by Ctrl-C, Ctrl-Break or its console closing. The handler runs on a
// thread of its own, so the list is guarded by the same mutex.
std::mutex g_temporariesMutex;
std::vector<std::wstring> g_temporaries;

BOOL WINAPI RemoveTemporariesAndEnd(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
      event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    std::lock_guard lock(g_temporariesMutex);
    for (const std::wstring& path : g_temporaries) {
      DeleteFileW(path.c_str());
    }
  }
  return FALSE;  // the next handler (the default one) ends the process
}

// Windows names that are devices in every folder: NUL, CON, COM1 ...
bool IsDeviceName(const fs::path& path) {
  std::wstring stem = path.stem().wstring();
  std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return static_cast<wchar_t>(towupper(c)); });
  static const wchar_t* const kDevices[] = {L"NUL",  L"CON",  L"PRN",  L"AUX",  L"COM1", L"COM2", L"COM3",
                                            L"COM4", L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1",
                                            L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8",
                                            L"LPT9", L"CONIN$", L"CONOUT$"};
  return std::any_of(std::begin(kDevices), std::end(kDevices), [&stem](const wchar_t* d) { return stem == d; });
}

bool FollowLinks(fs::path path, fs::path& resolved, std::error_code& code) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) {
      resolved = path;
      return true;
    }
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) {
      code = ec;
      return false;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  code = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return false;
}

String LastErrorText() { return String(WindowsErrorText(GetLastError())); }

}  // namespace

std::optional<OutputTarget> ResolveOutputTarget(const Filename& name, FileWriteError* error) {
  using Kind = FileWriteError::Kind;
  const fs::path path = name.GetPath();
  if (path.empty() || !path.has_filename()) {
    SetError(error, Kind::TARGET, "not a file name");
    return std::nullopt;
  }
  OutputTarget target;
  std::error_code ec;
  if (!FollowLinks(path, target.path, ec)) {
    SetError(error, ec == std::errc::too_many_symbolic_link_levels ? Kind::TARGET : Kind::IO, String(ec.message()));
    return std::nullopt;
  }
  if (IsDeviceName(target.path)) {
    target.inPlace = true;
    return target;
  }
  const DWORD attributes = GetFileAttributesW(target.path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      SetError(error, Kind::TARGET, ErrnoString(EISDIR));
      return std::nullopt;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetError(error, Kind::TARGET, "is read-only");
      return std::nullopt;
    }
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    SetError(error, Kind::IO, LastErrorText());
    return std::nullopt;
  }
  const fs::path folder = FolderOf(target.path);
  const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
    SetError(error, Kind::IO, LastErrorText());
    return std::nullopt;
  }
  if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetError(error, Kind::IO, ErrnoString(ENOTDIR));
    return std::nullopt;
  }
  return target;
}

Bool IsSameFile(const Filename& a, const Filename& b) {
  fs::path pa, pb;
  std::error_code code;
  if (!FollowLinks(a.GetPath(), pa, code) || !FollowLinks(b.GetPath(), pb, code)) {
    return false;
  }
  // The same volume and file index: one file, whatever the names (case, short names).
  auto identity = [](const fs::path& p, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileW(p.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      return false;
    }
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  const bool hasA = identity(pa, ia);
  const bool hasB = identity(pb, ib);
  if (hasA && hasB) {
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  }
  if (hasA || hasB) {
    return false;
  }
  std::error_code ea, eb;
  const fs::path ca = fs::weakly_canonical(fs::absolute(pa), ea);
  const fs::path cb = fs::weakly_canonical(fs::absolute(pb), eb);
  // Windows names ignore case.
  return !ea && !eb && CompareStringOrdinal(ca.c_str(), -1, cb.c_str(), -1, TRUE) == CSTR_EQUAL;
}

namespace file_replacement_detail {

void RegisterTemporary(const fs::path& path) {
  std::lock_guard lock(g_temporariesMutex);
  g_temporaries.push_back(path.wstring());
}

// ".NAME.PID.N.tmp", with NAME shortened so the whole fits a file name.
fs::path TemporaryName(const fs::path& target, unsigned counter) {
  const std::wstring tail = L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(counter) + L".tmp";
  std::wstring name = target.filename().wstring();
  const std::size_t room = kNameMax - 1 - tail.size();
  if (name.size() > room) {
    std::size_t cut = room;
    // Never between the two halves of a surrogate pair.
    if (cut > 0 && name[cut] >= 0xDC00 && name[cut] <= 0xDFFF) {
      --cut;
    }
    name.resize(cut);
  }
  return FolderOf(target) / (L"." + name + tail);
}

int OpenInPlace(const fs::path& path) { return _wopen(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT); }

int CreateExclusive(const fs::path& path) {
  return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

std::string PathText(const fs::path& path) { return Utf8FromPath(path); }

// A new file takes its folder's permissions; Windows files carry no mode to pass on.
void KeepOwnerAndMode(int /*fd*/, const fs::path& /*target*/) {}

void UnregisterTemporary(const fs::path& path) {
  std::lock_guard lock(g_temporariesMutex);
  const auto it = std::find(g_temporaries.begin(), g_temporaries.end(), path.wstring());
  if (it != g_temporaries.end()) {
    g_temporaries.erase(it);
  }
}

std::ptrdiff_t WriteSome(int fd, const char* bytes, std::size_t size) {
  // _write takes an unsigned int count.
  return _write(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}

int FlushToDisk(int fd) { return _commit(fd); }

int CloseFile(int fd) { return _close(fd); }

void RemoveTemporary(const fs::path& path) {
  DeleteFileW(path.c_str());
  UnregisterTemporary(path);
}

std::optional<String> MoveOver(const fs::path& temporary, const fs::path& target) {
  if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    return LastErrorText();
  }
  return std::nullopt;
}

}  // namespace file_replacement_detail

void RemoveTemporaryFilesOnSignal() {
  static std::once_flag once;
  std::call_once(once, [] { SetConsoleCtrlHandler(RemoveTemporariesAndEnd, TRUE); });
}
