#include "reader/photo_write.h"

#include <cstdio>

bool WriteWholeFile(const std::string& fileName, const unsigned char* buf, std::size_t length)
{
    bool written = false;
    if (std::FILE* file = std::fopen(fileName.c_str(), "wb")) {
        written = length == 0 || std::fwrite(buf, 1, length, file) == length;
        written = std::fflush(file) == 0 && written;
        written = std::fclose(file) == 0 && written;
    }
    return written;
}

bool PutInPlace(const std::string& temp, const std::string& fileName)
{
    if (std::rename(temp.c_str(), fileName.c_str()) == 0)
        return true;
    // Windows will not rename over an existing file.
    std::remove(fileName.c_str());
    return std::rename(temp.c_str(), fileName.c_str()) == 0;
}
