#include "reader/photo_write.h"

#include <cstdio> // renameat2
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/files.h"

// Only the bytes and the size change, so a file written before keeps its
// place on disk and nothing starts write-back.
bool WriteWholeFile(const std::string& fileName, const unsigned char* buf, std::size_t length)
{
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < length;) {
        const ssize_t n = ::pwrite(fd, buf + done, length - done, static_cast<off_t>(done));
        written = n > 0;
        if (written)
            done += static_cast<std::size_t>(n);
    }
    struct stat st
    {
    };
    if (written && (::fstat(fd, &st) != 0 || st.st_size != static_cast<off_t>(length)))
        written = ::ftruncate(fd, static_cast<off_t>(length)) == 0;
    return ::close(fd) == 0 && written;
}

bool PutInPlace(const std::string& temp, const std::string& fileName)
{
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, fileName.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    // No file to swap with yet, or a file system that cannot swap.
    return MoveIntoPlace(temp, fileName);
}
