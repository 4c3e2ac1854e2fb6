// Loading code on POSIX systems: dlopen.
#include <dlfcn.h>

#if defined(__APPLE__)
#include <mach-o/dyld.h>

#include <vector>
#endif

#include <system_error>

#include "host/system/shared_library.h"

void* OpenSharedLibrary(const std::filesystem::path& file, std::string* error) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error != nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "unknown reason";
  }
  return handle;
}

void* SharedLibrarySymbol(void* library, const char* name) { return library != nullptr ? dlsym(library, name) : nullptr; }

void CloseSharedLibrary(void* library) {
  if (library != nullptr) {
    dlclose(library);
  }
}

std::filesystem::path RunningExecutable() {
  std::error_code ec;
#if defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
    return {};
  }
  std::filesystem::path exe = std::filesystem::canonical(buffer.data(), ec);
#else
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
  return ec ? std::filesystem::path() : exe;
}
