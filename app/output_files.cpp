#include "app/output_files.h"

#include <CLI/CLI.hpp>

namespace vantelle::app {

AppError WriteError(const std::string& path, const FileWriteError& error) {
  const std::string message = "cannot write " + path + ": " + error.message.GetStd();
  return error.kind == FileWriteError::Kind::TARGET ? BadInput(message) : Failure(message);
}

void CheckOutputFiles(const std::vector<NamedFile>& outputs, const std::vector<NamedFile>& inputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedFile& out = outputs[i];
    if (out.path.empty()) {
      continue;
    }
    for (const NamedFile& in : inputs) {
      if (!in.path.empty() && IsSameFile(Filename(String(out.path)), Filename(String(in.path)))) {
        throw BadInput(out.option + " " + out.path + " would overwrite " + in.option + " " + in.path +
                       ", which this command reads");
      }
    }
    for (std::size_t k = 0; k < i; ++k) {
      const NamedFile& earlier = outputs[k];
      if (!earlier.path.empty() && IsSameFile(Filename(String(out.path)), Filename(String(earlier.path)))) {
        throw BadInput(earlier.option + " " + earlier.path + " and " + out.option + " " + out.path +
                       " name the same file; one would overwrite the other");
      }
    }
    FileWriteError error;
    if (!ResolveOutputTarget(Filename(String(out.path)), &error)) {
      throw WriteError(out.path, error);
    }
  }
}

const CLI::Validator& NotEmpty() {
  static const CLI::Validator validator(
      [](const std::string& value) { return value.empty() ? std::string("must not be empty") : std::string(); },
      "", "NOT_EMPTY");
  return validator;
}

}  // namespace vantelle::app
