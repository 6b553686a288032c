#pragma once
// Files named by paths in UTF-8, the text in which the tool carries every
// path (ExeDir() among them) on every platform. On Windows each call goes to
// the system's wide-character functions, so a folder whose name the ANSI
// code page cannot write (a Chinese folder on an English-language Windows)
// works as any other.

#include <cstdio>
#include <string>
#include <string_view>

// std::fopen for a UTF-8 path.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Removes the file; true when it is gone, also when it was never there.
bool RemoveFileUtf8(const std::string& path);

// Whether a file or directory exists at `path`.
bool PathExistsUtf8(const std::string& path);

// The environment variable's value in UTF-8; empty when unset.
std::string EnvironmentUtf8(const char* name);

// Reads the whole file into `out`. A missing file reads as empty with
// `exists` false; the result is false only for a file that is there but
// cannot be read.
bool ReadWholeFile(const std::string& path, std::string& out, bool& exists);

// Puts the finished file `temp` in the place of `target` in one step, so no
// program ever finds `target` missing or half written: rename on POSIX,
// MoveFileExW with replace and write-through on Windows.
bool MoveIntoPlace(const std::string& temp, const std::string& target);

// Replaces the whole content of `path` with `content`: a complete file is
// written beside it (path + ".part", one fixed name, so a write killed midway
// leaves at most that one behind for the next write to reuse), flushed to
// disk and moved into place; a crash leaves the old file or the new one,
// never half of either. A read-only file (no write permission bit, or the
// read-only attribute) or an unwritable directory keeps what it held, and
// the result is false. On POSIX a link is written where it points and the
// file keeps its permission bits.
bool ReplaceFileContent(const std::string& path, std::string_view content);
