#pragma once
// The photo files of the card last read, in the executable's directory: the
// compressed photo as read, and the bitmap the card view shows; and how they
// are written.

#include <cstddef>
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

// The photo files of one reader: zp.wlt and zp.bmp for an empty `tag` (the
// windowed programs' one reader), otherwise zp-<tag>.wlt and zp-<tag>.bmp.
inline std::string PhotoWltPath(const std::string& tag)
{
    return tag.empty() ? PhotoWltPath() : ExeDir() + "zp-" + tag + ".wlt";
}

inline std::string PhotoBmpPath(const std::string& tag)
{
    return tag.empty() ? PhotoBmpPath() : ExeDir() + "zp-" + tag + ".bmp";
}

// Writes `length` bytes of `buf` as the whole content of `fileName`, replacing
// any earlier file. True only when every byte was written. The bytes go to a
// spare file beside it first (fileName + ".part", kept on Linux for the next
// write), so the name never holds a half-written file; when the write fails,
// the earlier file is removed too, never left standing in.
bool SaveBufToFile(const std::string& fileName, const unsigned char* buf, std::size_t length);
