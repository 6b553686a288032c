#pragma once
// The photo files of the card last read, in the executable's directory: the
// compressed photo as read, and the bitmap the card view shows.

#include <string>

#include "base/exe_dir.h"

inline constexpr const char* kPhotoWltName = "zp.wlt";
inline constexpr const char* kPhotoBmpName = "zp.bmp";

inline std::string PhotoWltPath()
{
    return ExeDir() + kPhotoWltName;
}

inline std::string PhotoBmpPath()
{
    return ExeDir() + kPhotoBmpName;
}
