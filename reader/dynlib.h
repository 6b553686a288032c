#pragma once
// Per-platform loading of a shared library: dlopen on POSIX, LoadLibrary on Windows.

#include <string>

// Opens the library; a name without a directory is looked up on the system's
// library search path. Null and the system's reason in `error` on failure.
void* OpenDynamicLibrary(const std::string& file, std::string& error);

// The address of an exported function, or null.
void* FindDynamicSymbol(void* library, const char* name);

// Whether `file` names an existing file; a name without a directory, which
// the system looks up on its search path, counts as not existing.
bool DynamicLibraryFileExists(const std::string& file);
