// Loading code on Windows: LoadLibraryEx and GetProcAddress, with wide-character paths.
#include <windows.h>

#include <string>
#include <vector>

#include "host/system/shared_library.h"
#include "host/system/windows_text.h"

void* OpenSharedLibrary(const std::filesystem::path& file, std::string* error) {
  // A module's own folder comes first for the DLLs it needs (LOAD_WITH_ALTERED_SEARCH_PATH
  // with a full path), as a program's folder does for the program. No error box pops up
  // for a file that is not a DLL.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const DWORD flags = file.is_absolute() ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  HMODULE handle = LoadLibraryExW(file.c_str(), nullptr, flags);
  const DWORD code = handle == nullptr ? GetLastError() : 0;
  SetErrorMode(previous);
  if (handle == nullptr && error != nullptr) {
    *error = WindowsErrorText(code);
  }
  return reinterpret_cast<void*>(handle);
}

void* SharedLibrarySymbol(void* library, const char* name) {
  if (library == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseSharedLibrary(void* library) {
  if (library != nullptr) {
    FreeLibrary(static_cast<HMODULE>(library));
  }
}

std::filesystem::path RunningExecutable() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::filesystem::path(std::wstring(buffer.data(), length));
    }
    buffer.resize(buffer.size() * 2);  // cut short: a long path
  }
}
