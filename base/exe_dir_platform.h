#pragma once
// Per-platform part of ExeDir(): the executable's full path.

#include <string>

#ifdef _WIN32
inline constexpr const char* kPathSeparators = "\\/";
inline constexpr char kPreferredSeparator = '\\';
#else
inline constexpr const char* kPathSeparators = "/";
inline constexpr char kPreferredSeparator = '/';
#endif

// Full path of the running executable; empty when the system cannot tell.
std::string ExecutablePath();

// The current working directory, without a trailing separator; empty when
// the system cannot tell.
std::string CurrentDirectory();
