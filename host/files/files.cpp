#include "host/files/files.h"

#include <fstream>
#include <sstream>

std::filesystem::path Filename::Normalize(const std::string& text) {
  std::string result = text;
  if constexpr (std::filesystem::path::preferred_separator == '/') {
    for (char& c : result) {
      if (c == '\\') {
        c = '/';
      }
    }
  }
  return std::filesystem::path(result);
}

Filename Filename::operator+(const Filename& part) const {
  std::filesystem::path relative = part.path_.relative_path();
  if (relative.empty()) {
    return *this;
  }
  return Filename(path_ / relative);
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
