// File names and small file helpers of the host.
#pragma once

#include <filesystem>

#include "host/core/text.h"

// A path built part by part. On systems whose separator is '/', a backslash inside an
// appended part also separates, so a part written for another system ("\Vantelle.pdf")
// still lands inside the folder.
class Filename {
public:
  Filename() = default;
  Filename(const String& path) : path_(Normalize(path.GetStd())) {}  // NOLINT
  Filename(const char* path) : Filename(String(path)) {}            // NOLINT
  explicit Filename(std::filesystem::path path) : path_(std::move(path)) {}

  // Appends a part: "a" + "b" = "a/b".
  Filename operator+(const Filename& part) const;
  Filename& operator+=(const Filename& part) { return *this = *this + part; }

  Bool IsPopulated() const { return !path_.empty(); }
  String GetString() const { return String(path_.string()); }
  const std::filesystem::path& GetPath() const { return path_; }
  Filename GetDirectory() const { return Filename(path_.parent_path()); }
  String GetFileString() const { return String(path_.filename().string()); }
  bool operator==(const Filename& o) const { return path_ == o.path_; }

private:
  static std::filesystem::path Normalize(const std::string& text);
  std::filesystem::path path_;
};

// Whether a file (or, with isDirectory, a folder) exists.
Bool GeFExist(const Filename& name, Bool isDirectory = false);

// Reads a whole file; false when it cannot be read.
Bool ReadTextFile(const Filename& name, std::string& contents);
