#pragma once
// The two file steps of writing a photo file, per platform: fill the file
// beside the target, then put it in the target's place.

#include <cstddef>
#include <string>

// Writes `length` bytes as the whole content of `fileName`. True only when
// every byte was written.
bool WriteWholeFile(const std::string& fileName, const unsigned char* buf, std::size_t length);

// Puts the finished `temp` in the place of `fileName`, in one step where the
// system can. On Linux the two swap, so `temp` stays as the spare that the
// next write fills in place: a new file and a rename over the old one for
// every photo would cost more than the rest of the read pass (on ext4 such a
// rename also starts write-back). The spare then holds the photo before the
// last one.
bool PutInPlace(const std::string& temp, const std::string& fileName);
