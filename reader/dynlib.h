#pragma once
// Per-platform loading of a shared library: dlopen on POSIX, LoadLibrary on Windows.

#include <string>

// Opens the library, `file` being a UTF-8 path. A name without a directory
// is looked up on the system's library search path; on Windows that is the
// system directory alone, and a library given by its path has the DLLs it
// imports looked up beside it, then in the program's and the system's
// directories, never in the current directory or on PATH; the DLLs it loads
// by name later are looked up in its folder too (RestrictLibrarySearch).
// Null and the system's reason in `error` on failure.
void* OpenDynamicLibrary(const std::string& file, std::string& error);

// The address of an exported function, or null.
void* FindDynamicSymbol(void* library, const char* name);

// Whether `file` names an existing file; a name without a directory, which
// the system looks up on its search path, counts as not existing.
bool DynamicLibraryFileExists(const std::string& file);

// Narrows where the whole process looks for a DLL loaded by name, on
// Windows, to the program's directory, the system directory and the folders
// of the libraries OpenDynamicLibrary loaded by path: no DLL planted in the
// current directory or on PATH is ever loaded, by this program or by a
// library it uses. Called first thing in each program's entry; nothing to
// narrow elsewhere.
void RestrictLibrarySearch();
