#include "reader/photo_write.h"

#include "base/files.h"

bool WriteWholeFile(const std::string& fileName, const unsigned char* buf, std::size_t length)
{
    bool written = false;
    if (std::FILE* file = OpenFileUtf8(fileName, "wb")) {
        written = length == 0 || std::fwrite(buf, 1, length, file) == length;
        written = std::fflush(file) == 0 && written;
        written = std::fclose(file) == 0 && written;
    }
    return written;
}

bool PutInPlace(const std::string& temp, const std::string& fileName)
{
    return MoveIntoPlace(temp, fileName);
}
