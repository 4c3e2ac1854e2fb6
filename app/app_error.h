// Errors the app reports to the user and the exit code each ends the run with.
#pragma once

#include <stdexcept>
#include <string>

namespace vantelle::app {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // something went wrong while working
inline constexpr int kExitBadInput = 2;  // the command line asked for something invalid

class AppError : public std::runtime_error {
public:
  AppError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
  int GetExitCode() const { return exitCode_; }

private:
  int exitCode_;
};

// What the user typed cannot be done as asked; they can fix it.
inline AppError BadInput(const std::string& message) { return AppError(kExitBadInput, message); }
// The input was fine but the work failed (modules, memory, the plug-in).
inline AppError Failure(const std::string& message) { return AppError(kExitFailure, message); }

}  // namespace vantelle::app
