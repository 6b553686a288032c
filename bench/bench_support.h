#pragma once
// What the benchmarks share: the virtual reader loaded through the loader
// with a scenario of our choosing, a scratch directory for the photo files,
// and the process's resident memory and CPU time.

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "reader/termb_loader.h"

// Resident memory in KiB, from /proc/self/statm.
inline long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// CPU time of the whole process (user + system), in seconds.
inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A fresh directory for scenario and photo files, left for the system's
// temporary directory cleaning.
inline std::string scratchDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "zuvi-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        std::abort();
    return tmpl;
}

// The virtual reader with `scenarioJson`. Each scenario is a library state of
// its own, so the file is written and the reader reset before use.
inline TermbLibrary loadVirtualReader(const std::string& dir, const std::string& scenarioJson)
{
    const std::string file = dir + "/scenario.json";
    std::ofstream(file) << scenarioJson;
    setenv("TERMB_VIRTUAL_SCENARIO", file.c_str(), 1);
    TermbLibrary library = LoadTermbLibrary();
    if (!library.loaded || !library.isVirtual) {
        std::fprintf(stderr, "bench: TERMB_LIBRARY must name the virtual reader (%s)\n",
                     library.error.c_str());
        std::exit(1);
    }
    // The library was loaded once already: let it read the new scenario.
    using ResetFn = void (*)();
    if (auto* handle = dlopen(library.path.c_str(), RTLD_NOW | RTLD_NOLOAD))
        if (auto reset = reinterpret_cast<ResetFn>(dlsym(handle, "TermbVirtualReset")))
            reset();
    return library;
}
