#include "reader/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

void* OpenDynamicLibrary(const std::string& file, std::string& error)
{
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : "unknown error";
    }
    return handle;
}

void* FindDynamicSymbol(void* library, const char* name)
{
    return ::dlsym(library, name);
}

bool DynamicLibraryFileExists(const std::string& file)
{
    return file.find('/') != std::string::npos && ::access(file.c_str(), F_OK) == 0;
}

void RestrictLibrarySearch()
{
    // dlopen never looks in the current directory unless the environment's
    // library path names it; the loader passes it a path or the plain name.
}
