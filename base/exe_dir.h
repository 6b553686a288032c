#pragma once
// The directory of the running executable, with its trailing separator, in
// UTF-8 (base/files.h opens files by such paths). The settings file and the
// photo files live there, whatever the working directory.

#include <string>

std::string ExeDir();

// Makes ExeDir() answer `dir` (a trailing separator is added when missing);
// an empty text returns to the real directory. Lets tests keep their files apart.
void SetExeDirOverride(const std::string& dir);

// `path` as a file: a relative one (not rooted and, on Windows, without a
// drive) is taken from the current working directory and made absolute, so
// that no system search reinterprets it; any other path, and every path
// when the working directory cannot be told, stays as it is.
std::string AbsolutePath(const std::string& path);
