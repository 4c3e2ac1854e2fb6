// The files a command writes: checked before any work starts, so a command that cannot
// write what it was asked to fails at once and changes nothing, and the errors of the
// host's file writing as the app reports them.
#pragma once

#include <string>
#include <vector>

#include "app/app_error.h"
#include "host/files/file_replacement.h"

namespace CLI {
class Validator;
}

namespace vantelle::app {

// A file named on the command line: how the user named it ("-o", "the scene") and where.
struct NamedFile {
  std::string option;
  std::string path;  // empty: not asked for
};

// Refuses (BadInput) outputs that name what must not be written (a folder, a read-only
// file), that name the same file twice, or that name one of the command's input files,
// which the work still reads. A folder that cannot take a new file is a Failure.
void CheckOutputFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs);

// The error to report for a failed write of `path`: BadInput for a refused target,
// Failure for a failed write. Reads "cannot write PATH: why".
AppError WriteError(const std::string& path, const FileWriteError& error);

// For options that name a file or a value: an empty one is a mistake, not "none".
const CLI::Validator& NotEmpty();

}  // namespace vantelle::app
