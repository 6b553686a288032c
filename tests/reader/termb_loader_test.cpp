#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "base/exe_dir.h"
#include "reader/termb_loader.h"
#include "tests/environment.h"
#include "tests/temp_dir.h"

namespace {

void expectAbsentReader(const TermbApi& api)
{
    unsigned char manage[kManageBufferSize] = {};
    unsigned char text[kTextBufferSize] = {};
    unsigned char photo[kPhotoBufferSize] = {};
    unsigned char bmp[kBitmapBufferSize] = {};
    char sam[201] = {};
    unsigned textLen = 0, photoLen = 0;
    int fpLen = 1024;
    unsigned char fp[1024];
    EXPECT_NE(api.SDT_OpenPort(1001), kTermbOk);
    api.SDT_ClosePort(1001);
    EXPECT_NE(api.SDT_GetSAMIDToStr(1001, sam, 0), kTermbOk);
    EXPECT_TRUE(IsPortFailure(api.SDT_StartFindIDCard(1001, manage, 0)));
    EXPECT_NE(api.SDT_SelectIDCard(1001, manage, 0), kTermbOk);
    EXPECT_NE(api.SDT_ReadBaseMsg(1001, text, &textLen, photo, &photoLen, 0), kTermbOk);
    EXPECT_NE(api.SDT_ReadBaseFPMsg(1001, text, &textLen, photo, &photoLen, fp, &fpLen, 0),
              kTermbOk);
    EXPECT_TRUE(IsPortFailure(api.SDT_ReadNewAppMsg(1001, text, &textLen, 0)));
    EXPECT_NE(api.Wlt2Bmp(photo, bmp), kTermbBitmapSize);
}

TEST(TermbLoader, BindsEveryFunctionWithItsArguments)
{
    const TermbLibrary lib = LoadTermbLibraryFrom(FAKE_TERMB_COMPLETE);
    ASSERT_TRUE(lib.loaded) << lib.error;
    EXPECT_FALSE(lib.isVirtual);
    EXPECT_EQ(lib.path, FAKE_TERMB_COMPLETE);
    const TermbApi& api = lib.api;

    EXPECT_EQ(api.SDT_OpenPort(1001), kTermbOk);
    EXPECT_EQ(api.SDT_OpenPort(3), 1);
    EXPECT_EQ(api.SDT_ClosePort(41), 42);
    char sam[201] = {};
    EXPECT_EQ(api.SDT_GetSAMIDToStr(1001, sam, 0), kTermbOk);
    EXPECT_STREQ(sam, "05.01-20260101-0000000001-1234567890");
    unsigned char manage[kManageBufferSize] = {};
    EXPECT_EQ(api.SDT_StartFindIDCard(1001, manage, 0), kTermbCardFound);
    EXPECT_EQ(manage[0], 0x5A);
    EXPECT_EQ(api.SDT_SelectIDCard(1001, manage, 0), kTermbSelectedAlt);

    unsigned char text[kTextBufferSize] = {}, photo[kPhotoBufferSize] = {};
    unsigned textLen = 0, photoLen = 0;
    EXPECT_EQ(api.SDT_ReadBaseMsg(1001, text, &textLen, photo, &photoLen, 0), kTermbOk);
    EXPECT_EQ(text[0], 'T');
    EXPECT_EQ(photo[0], 'P');
    EXPECT_EQ(textLen, 256u);
    EXPECT_EQ(photoLen, 1024u);

    unsigned char fp[1024] = {};
    int fpLen = 1024;
    EXPECT_EQ(api.SDT_ReadBaseFPMsg(1001, text, &textLen, photo, &photoLen, fp, &fpLen, 0),
              kTermbOk);
    EXPECT_EQ(fp[0], 0x43);
    EXPECT_EQ(fpLen, 512);

    EXPECT_EQ(api.SDT_ReadNewAppMsg(1001, text, &textLen, 0), kTermbAppMsgNone);
    unsigned char bmp[kBitmapBufferSize] = {};
    EXPECT_EQ(api.Wlt2Bmp(photo, bmp), kTermbBitmapSize);
    EXPECT_EQ(bmp[0], 'P');
}

TEST(TermbLoader, RecognisesTheVirtualReader)
{
    const TermbLibrary lib = LoadTermbLibraryFrom(FAKE_TERMB_VIRTUAL);
    ASSERT_TRUE(lib.loaded) << lib.error;
    EXPECT_TRUE(lib.isVirtual);
    EXPECT_EQ(lib.virtualInfo, "fake virtual reader");
}

TEST(TermbLoader, ALibraryLackingAFunctionIsNotUsedAtAll)
{
    const TermbLibrary lib = LoadTermbLibraryFrom(FAKE_TERMB_INCOMPLETE);
    EXPECT_FALSE(lib.loaded);
    EXPECT_EQ(lib.failure, TermbLoadFailure::MissingFunctions);
    EXPECT_EQ(lib.missing, std::vector<std::string>{"Wlt2Bmp"});
    EXPECT_EQ(lib.path, FAKE_TERMB_INCOMPLETE);
    expectAbsentReader(lib.api);
}

TEST(TermbLoader, AMissingFileGivesAnAbsentReaderAndSaysWhere)
{
    const TermbLibrary lib = LoadTermbLibraryFrom("/nonexistent/libtermb.so");
    EXPECT_FALSE(lib.loaded);
    EXPECT_EQ(lib.failure, TermbLoadFailure::NotFound);
    EXPECT_EQ(lib.tried, std::vector<std::string>{"/nonexistent/libtermb.so"});
    expectAbsentReader(lib.api);
}

// The first bytes of a library for 32-bit x86 in this system's format, which
// every build of the program, all 64-bit, finds foreign: an ELF file of
// class 1 and machine 3, or a PE file whose own header (at 0x80, as 0x3C
// says) names machine 0x14C.
std::string foreignLibraryHead()
{
    std::string head(0x100, '\0');
    auto put = [&head](std::size_t at, std::initializer_list<int> bytes) {
        for (const int b : bytes)
            head[at++] = char(b);
    };
    if (ProgramLibraryFormat() == LibraryFormat::Elf) {
        put(0, {0x7F, 'E', 'L', 'F', 1, 1});
        put(18, {3});
    } else {
        put(0, {'M', 'Z'});
        put(0x3C, {0x80});
        put(0x80, {'P', 'E', 0, 0, 0x4C, 0x01});
    }
    return head;
}

// A file that is there but no library is told apart from a missing one by
// the file itself, never by the words of the system's message, and says why.
TEST(TermbLoader, AFileThatIsNoLibraryIsNotLoadableAndSaysWhy)
{
    const std::pair<std::string, LibraryFileProblem> cases[] = {
        {"", LibraryFileProblem::Empty},
        {"not a library", LibraryFileProblem::NotALibrary},
        {foreignLibraryHead(), LibraryFileProblem::OtherArchitecture},
    };
    for (const auto& [content, problem] : cases) {
        TempDir dir;
        dir.write(TermbFileName(), content);
        const TermbLibrary lib = LoadTermbLibraryFrom(dir.file(TermbFileName()));
        EXPECT_FALSE(lib.loaded);
        EXPECT_EQ(lib.failure, TermbLoadFailure::NotLoadable);
        EXPECT_EQ(lib.fileCheck.problem, problem) << content.size();
        if (problem == LibraryFileProblem::OtherArchitecture) {
            EXPECT_EQ(lib.fileCheck.file.bits, 32);
        }
        expectAbsentReader(lib.api);
    }
}

class TermbSearch : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("TERMB_LIBRARY"))
            m_saved = old;
        SetTestVariable("TERMB_LIBRARY", "");
        SetExeDirOverride("/nonexistent-dir/");
    }
    void TearDown() override
    {
        SetExeDirOverride({});
        if (m_saved)
            SetTestVariable("TERMB_LIBRARY", *m_saved);
        else
            SetTestVariable("TERMB_LIBRARY", "");
    }
    std::optional<std::string> m_saved;
};

TEST_F(TermbSearch, TheEnvironmentVariableNamesTheFile)
{
    SetTestVariable("TERMB_LIBRARY", FAKE_TERMB_VIRTUAL);
    const TermbLibrary lib = LoadTermbLibrary();
    EXPECT_TRUE(lib.loaded);
    EXPECT_TRUE(lib.isVirtual);
    EXPECT_EQ(lib.tried.size(), 1u);
}

TEST_F(TermbSearch, WithoutItTheExecutablesDirectoryThenTheSearchPath)
{
    const TermbLibrary lib = LoadTermbLibrary();
    ASSERT_FALSE(lib.loaded);
    ASSERT_EQ(lib.tried.size(), 2u);
    EXPECT_EQ(lib.tried[0], std::string("/nonexistent-dir/") + TermbFileName());
    EXPECT_EQ(lib.tried[1], TermbFileName());
    expectAbsentReader(lib.api);
}

// A file the user names, by TERMB_LIBRARY or --library, is a file: without
// a directory it is the one in the current directory, never a name for the
// system's library search.
TEST_F(TermbSearch, ANameWithoutADirectoryIsAFileInTheCurrentDirectory)
{
    TempDir dir;
    const std::string name =
        "mylib" + std::filesystem::path(FAKE_TERMB_COMPLETE).extension().string();
    std::filesystem::copy_file(FAKE_TERMB_COMPLETE, dir.file(name));
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const TermbLibrary fromOption = LoadTermbLibraryFrom(name);
    SetTestVariable("TERMB_LIBRARY", name.c_str());
    const TermbLibrary fromEnvironment = LoadTermbLibrary();
    std::filesystem::current_path(saved);
    for (const TermbLibrary& lib : {fromOption, fromEnvironment}) {
        EXPECT_TRUE(lib.loaded) << lib.error;
        EXPECT_TRUE(std::filesystem::path(lib.path).is_absolute()) << lib.path;
        EXPECT_TRUE(std::filesystem::equivalent(lib.path, dir.file(name))) << lib.path;
    }
}

// The windowed programs' rule: the virtual reader stands in only when no
// library was found, none was named and none lies beside the program.
TEST_F(TermbSearch, TheVirtualReaderStandsInOnlyForALibraryNobodyPlaced)
{
    const std::string junk; // a file that is no library
    const struct
    {
        const char* what;
        const char* named;                                       // TERMB_LIBRARY, or null
        std::vector<std::pair<std::string, std::string>> beside; // file name, copied from
        bool loaded, isVirtual, standsIn;
    } cases[] = {
        {"TERMB_LIBRARY names a library",
         FAKE_TERMB_COMPLETE,
         {{VirtualReaderFileName(), FAKE_TERMB_VIRTUAL}},
         true,
         false,
         false},
        {"TERMB_LIBRARY names no file",
         "/nonexistent/libtermb.so",
         {{VirtualReaderFileName(), FAKE_TERMB_VIRTUAL}},
         false,
         false,
         false},
        {"an unusable library beside the program",
         nullptr,
         {{TermbFileName(), junk}, {VirtualReaderFileName(), FAKE_TERMB_VIRTUAL}},
         false,
         false,
         false},
        {"nothing but the virtual reader beside it",
         nullptr,
         {{VirtualReaderFileName(), FAKE_TERMB_VIRTUAL}},
         true,
         true,
         true},
        {"an unusable virtual reader beside it",
         nullptr,
         {{VirtualReaderFileName(), junk}},
         false,
         false,
         true},
        {"nothing at all", nullptr, {}, false, false, false},
        // Last: once a termb.dll is loaded, Windows answers every later
        // search for the plain name with it, and it is never unloaded.
        {"a library beside the program",
         nullptr,
         {{TermbFileName(), FAKE_TERMB_COMPLETE}, {VirtualReaderFileName(), FAKE_TERMB_VIRTUAL}},
         true,
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        SetExeDirOverride(dir.path().string());
        for (const auto& [name, from] : c.beside)
            if (from.empty())
                dir.write(name, "not a library");
            else
                std::filesystem::copy_file(from, dir.file(name));
        if (c.named)
            SetTestVariable("TERMB_LIBRARY", c.named);
        else
            SetTestVariable("TERMB_LIBRARY", "");

        const ReaderLibrary reader = LoadReaderLibraryOrVirtual();
        EXPECT_EQ(reader.library.loaded, c.loaded);
        EXPECT_EQ(reader.library.isVirtual, c.isVirtual);
        EXPECT_EQ(reader.standsIn, c.standsIn);
        if (c.standsIn) {
            // What the information line tells: where the library was looked for.
            EXPECT_EQ(reader.missing.failure, TermbLoadFailure::NotFound);
            EXPECT_EQ(reader.missing.tried,
                      (std::vector<std::string>{dir.file(TermbFileName()), TermbFileName()}));
            EXPECT_EQ(reader.library.path, dir.file(VirtualReaderFileName()));
        }
    }
}

} // namespace
