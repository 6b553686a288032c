#include "reader/library_file.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "base/files.h"

namespace {

// Enough for every header field read here: a PE file's own header lies at
// an offset the DOS header gives, a few hundred bytes in for every linker.
constexpr std::size_t kHeadBytes = 64 * 1024;

constexpr std::string_view kElfMagic("\x7F"
                                     "ELF",
                                     4);

std::uint32_t little(std::string_view bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
    return value;
}

std::uint32_t big(std::string_view bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
    return value;
}

struct Machine
{
    std::uint32_t code;
    int bits; // 0: as the file's class says (ELF)
    const char* name;
};

// ELF e_machine values; the word size comes from the file's class.
constexpr Machine kElfMachines[] = {
    {3, 0, "x86"},      {62, 0, "x86-64"},     {40, 0, "ARM"},     {183, 0, "ARM64"},
    {8, 0, "MIPS"},     {20, 0, "PowerPC"},    {21, 0, "PowerPC"}, {22, 0, "S/390"},
    {243, 0, "RISC-V"}, {258, 0, "LoongArch"},
};

// PE file header Machine values.
constexpr Machine kPeMachines[] = {
    {0x014C, 32, "x86"}, {0x8664, 64, "x86-64"}, {0x01C0, 32, "ARM"},
    {0x01C4, 32, "ARM"}, {0xAA64, 64, "ARM64"},
};

template <std::size_t N> const Machine* find(const Machine (&table)[N], std::uint32_t code)
{
    for (const Machine& m : table)
        if (m.code == code)
            return &m;
    return nullptr;
}

std::string nameOf(const Machine* machine, std::uint32_t code)
{
    return machine ? machine->name : "machine " + std::to_string(code);
}

LibraryFileCheck compared(LibraryArchitecture file, const LibraryArchitecture& program)
{
    // A program of a processor this does not know is never told it differs.
    if (program.bits == 0 || program.machine.empty())
        return {};
    if (file.bits == program.bits && file.machine == program.machine)
        return {};
    return {LibraryFileProblem::OtherArchitecture, std::move(file)};
}

LibraryFileCheck checkElf(std::string_view head, const LibraryArchitecture& program)
{
    // e_ident: magic, class (1 32-bit, 2 64-bit), data (1 little-, 2 big-endian);
    // e_machine at 18 in both classes.
    if (head.size() < 20 || head.substr(0, 4) != kElfMagic)
        return {LibraryFileProblem::NotALibrary, {}};
    const int elfClass = static_cast<unsigned char>(head[4]);
    const int data = static_cast<unsigned char>(head[5]);
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2))
        return {LibraryFileProblem::NotALibrary, {}};
    const std::uint32_t code = data == 1 ? little(head, 18, 2) : big(head, 18, 2);
    return compared({elfClass == 1 ? 32 : 64, nameOf(find(kElfMachines, code), code)}, program);
}

LibraryFileCheck checkPe(std::string_view head, const LibraryArchitecture& program)
{
    // The DOS header's "MZ" and, at 0x3C, the offset of "PE\0\0", which the
    // file header's Machine follows.
    if (head.size() < 0x40 || head.substr(0, 2) != "MZ")
        return {LibraryFileProblem::NotALibrary, {}};
    const std::uint32_t pe = little(head, 0x3C, 4);
    if (pe > head.size() - 6 || head.substr(pe, 4) != std::string_view("PE\0\0", 4))
        return {LibraryFileProblem::NotALibrary, {}};
    const std::uint32_t code = little(head, pe + 4, 2);
    const Machine* machine = find(kPeMachines, code);
    return compared({machine ? machine->bits : 0, nameOf(machine, code)}, program);
}

} // namespace

LibraryFileCheck CheckLibraryHead(std::string_view head, LibraryFormat format,
                                  const LibraryArchitecture& program)
{
    if (head.empty())
        return {LibraryFileProblem::Empty, {}};
    return format == LibraryFormat::Elf ? checkElf(head, program) : checkPe(head, program);
}

LibraryFormat ProgramLibraryFormat()
{
#ifdef _WIN32
    return LibraryFormat::Pe;
#else
    return LibraryFormat::Elf;
#endif
}

LibraryArchitecture ProgramArchitecture()
{
    const int bits = int(sizeof(void*)) * 8;
#if defined(__x86_64__) || defined(_M_X64)
    return {bits, "x86-64"};
#elif defined(__i386__) || defined(_M_IX86)
    return {bits, "x86"};
#elif defined(__aarch64__) || defined(_M_ARM64)
    return {bits, "ARM64"};
#elif defined(__arm__) || defined(_M_ARM)
    return {bits, "ARM"};
#else
    return {bits, ""}; // another processor: never compared
#endif
}

LibraryFileCheck CheckLibraryFile(const std::string& file)
{
    // Opened by its UTF-8 path, as the loader opens it.
    std::FILE* in = OpenFileUtf8(file, "rb");
    if (!in)
        return {};
    std::string head(kHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), in));
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed)
        return {};
    return CheckLibraryHead(head, ProgramLibraryFormat(), ProgramArchitecture());
}
