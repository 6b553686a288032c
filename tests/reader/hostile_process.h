#pragma once
// What the hostile reader library does to the process it runs in, per system.

#include <cstddef>

[[noreturn]] void HangForever();
// Ends the process with exit code 0, in the middle of a call.
[[noreturn]] void ExitProcessNow();
// Writes to the channel of the reader host the library runs in; false when
// there is none.
bool WriteToHostChannel(const void* data, std::size_t size);
