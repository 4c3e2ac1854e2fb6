#include "host/files/files.h"

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#endif

#include <fstream>
#include <sstream>

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path Filename::Normalize(const std::string& text) {
  std::string result = text;
  if constexpr (std::filesystem::path::preferred_separator == '/') {
    for (char& c : result) {
      if (c == '\\') {
        c = '/';
      }
    }
  }
  return PathFromUtf8(result);
}

Filename Filename::operator+(const Filename& part) const {
  std::filesystem::path relative = part.path_.relative_path();
  if (relative.empty()) {
    return *this;
  }
  return Filename(path_ / relative);
}

int OpenFileForReading(const Filename& name) {
#if defined(_WIN32)
  // The wide-character call: the narrow one reads names in the ANSI code page.
  return ::_wopen(name.GetPath().c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
  return ::open(name.GetPath().c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

Bool GeFExist(const Filename& name, Bool isDirectory) {
  std::error_code ec;
  const auto status = std::filesystem::status(name.GetPath(), ec);
  if (ec) {
    return false;
  }
  return isDirectory ? std::filesystem::is_directory(status) : std::filesystem::is_regular_file(status);
}

Bool ReadTextFile(const Filename& name, std::string& contents) {
  std::ifstream in(name.GetPath(), std::ios::binary);
  if (!in) {
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    return false;
  }
  contents = buffer.str();
  return true;
}
