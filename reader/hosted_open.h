#pragma once
// The loader's open step for a library that runs in a reader host.

#include <string>

#include "reader/termb_loader.h"

// Starts a reader host for `file` and fills `lib` from what the host says of
// loading it, as opening it in this process would; true when it is loaded,
// with `lib.api` forwarding to that host and `lib.host` keeping it.
bool OpenInReaderHost(TermbLibrary& lib, const std::string& file, const ReaderHosting& hosting);
