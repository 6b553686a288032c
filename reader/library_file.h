#pragma once
// Why a file that is there would not load as a library: read from the file's
// own header, never from the words of the system's message. An empty file, a
// file of another kind (a text file renamed termb.dll) and a library built
// for another processor (a 32-bit termb.dll beside a 64-bit program) are told
// apart; anything else is left to the system's words.

#include <string>
#include <string_view>

enum class LibraryFileProblem {
    Unknown,           // the header looks loadable: the system's words say why not
    Empty,             // the file has no bytes
    NotALibrary,       // not a library of this system's format at all
    OtherArchitecture, // a library of this format for another processor
};

// A processor as a library or a program is built for.
struct LibraryArchitecture
{
    int bits = 0;        // 32 or 64; 0 when unknown
    std::string machine; // "x86", "x86-64", "ARM", "ARM64", ...; empty when unknown
};

struct LibraryFileCheck
{
    LibraryFileProblem problem = LibraryFileProblem::Unknown;
    LibraryArchitecture file; // OtherArchitecture: what the file is built for
};

// The two formats of shared libraries the program loads: ELF (Linux), PE (Windows).
enum class LibraryFormat { Elf, Pe };

// What `head`, the first bytes of a file (the whole of a short one), says
// about loading it as a library of `format` into a program built for
// `program`.
LibraryFileCheck CheckLibraryHead(std::string_view head, LibraryFormat format,
                                  const LibraryArchitecture& program);

// This program's own format and processor.
LibraryFormat ProgramLibraryFormat();
LibraryArchitecture ProgramArchitecture();

// CheckLibraryHead for the file `file` and this program. A file that cannot
// be read gives Unknown.
LibraryFileCheck CheckLibraryFile(const std::string& file);
