// File names and small file helpers of the host.
#pragma once

#include <filesystem>
#include <string>

#include "host/core/text.h"

// Paths to and from the UTF-8 text the host keeps everywhere. The system's own path
// encoding (UTF-16 on Windows) is used only at its API.
std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);

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
  String GetString() const { return String(Utf8FromPath(path_)); }
  const std::filesystem::path& GetPath() const { return path_; }
  Filename GetDirectory() const { return Filename(path_.parent_path()); }
  String GetFileString() const { return String(Utf8FromPath(path_.filename())); }
  bool operator==(const Filename& o) const { return path_ == o.path_; }

private:
  static std::filesystem::path Normalize(const std::string& text);
  std::filesystem::path path_;
};

// The file opened for reading as it is (no text translation), by its UTF-8 name, and not
// handed down to programs the process starts; -1 with errno set when it cannot be.
int OpenFileForReading(const Filename& name);

// Whether a file (or, with isDirectory, a folder) exists.
Bool GeFExist(const Filename& name, Bool isDirectory = false);

// Reads a whole file; false when it cannot be read.
Bool ReadTextFile(const Filename& name, std::string& contents);
