// Code files a process runs: the libraries it opens at run time (modules, Mesa) and its
// own executable. Each system supplies one source file for these.
#pragma once

#include <filesystem>
#include <string>

// Opens a library by its path or, for a bare file name, as the system finds libraries.
// Its symbols stay private to it (nothing it defines is shared with later libraries).
// Null with *error set to the system's reason when it cannot be loaded.
void* OpenSharedLibrary(const std::filesystem::path& file, std::string* error);
// The address of an exported symbol; null when the library exports no such name.
void* SharedLibrarySymbol(void* library, const char* name);
// Unloads what OpenSharedLibrary opened; null is ignored.
void CloseSharedLibrary(void* library);

// The running program's file, links resolved; empty when the system does not say.
std::filesystem::path RunningExecutable();
