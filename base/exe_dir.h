#pragma once
// The directory of the running executable, with its trailing separator. The
// settings file and the photo files live there, whatever the working directory.

#include <string>

std::string ExeDir();

// Makes ExeDir() answer `dir` (a trailing separator is added when missing);
// an empty text returns to the real directory. Lets tests keep their files apart.
void SetExeDirOverride(const std::string& dir);

// A path as the system gives it (ExeDir(), the places a library was looked
// for) in UTF-8, the text of the windows: the ANSI code page's bytes on
// Windows, which is not UTF-8 there; unchanged elsewhere.
std::string NativePathToUtf8(const std::string& path);

// `path` as a file: a relative one (not rooted and, on Windows, without a
// drive) is taken from the current working directory and made absolute, so
// that no system search reinterprets it; any other path, and every path
// when the working directory cannot be told, stays as it is.
std::string AbsolutePath(const std::string& path);
