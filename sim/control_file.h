#pragma once
// The manual timeline's control file holds the number of the card on the
// reader, or nothing. The control tool (and tests) write it while the reader
// reads it at every call.

#include <string>

namespace termbsim {

// Replaces the control file's content whole: written beside it, then renamed
// over it, so the reader never sees half a number. Windows refuses the rename
// while the reader has the file open, so a refused rename is tried again for
// up to two seconds. Returns false when the file could not be replaced.
bool WriteControlFile(const std::string& file, const std::string& content);

} // namespace termbsim
