#include "reader/photo_files.h"

#include "base/files.h"
#include "reader/photo_write.h"

// The bytes go to a file beside the target (fileName + ".part"), which then
// takes the target's place, so a crash never leaves a half-written file under
// the real name and a program reading the file never sees one half done.
// When anything fails the earlier file is removed all the same: the caller
// asked for it to be replaced, and an earlier card's photo must never stand
// in for this card's.
bool SaveBufToFile(const std::string& fileName, const unsigned char* buf, std::size_t length)
{
    const std::string temp = fileName + ".part";
    bool written = WriteWholeFile(temp, buf, length);
    written = written && PutInPlace(temp, fileName);
    if (!written) {
        RemoveFileUtf8(temp);
        RemoveFileUtf8(fileName);
    }
    return written;
}
