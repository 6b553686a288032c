#pragma once
// The directory of the running executable, with its trailing separator, in
// UTF-8 (base/files.h opens files by such paths). The settings file and the
// photo files live there, whatever the working directory.

#include <string>

std::string ExeDir();

// Makes ExeDir() answer `dir` (a trailing separator is added when missing);
// an empty text returns to the real directory. Lets tests keep their files apart.
void SetExeDirOverride(const std::string& dir);
