#pragma once
// The virtual reader as the tool sees it: loaded through the project's own
// loader from the build tree, with its two test hooks, and a scenario written
// to a temporary file per test.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "../environment.h"
#include "../temp_dir.h"
#include "reader/dynlib.h"
#include "reader/termb_loader.h"

inline const TermbLibrary& virtualReader()
{
    static const TermbLibrary lib = LoadTermbLibraryFrom(TERMB_VIRTUAL_LIBRARY);
    return lib;
}

template <typename Fn> Fn virtualReaderHook(const char* name)
{
    std::string error;
    // Opening the loaded library again yields the same handle.
    void* handle = OpenDynamicLibrary(TERMB_VIRTUAL_LIBRARY, error);
    return handle ? reinterpret_cast<Fn>(FindDynamicSymbol(handle, name)) : nullptr;
}

inline void resetVirtualReader()
{
    static const auto reset = virtualReaderHook<void (*)()>("TermbVirtualReset");
    ASSERT_NE(reset, nullptr);
    reset();
}

inline void advanceVirtualClock(long long ms)
{
    static const auto advance = virtualReaderHook<void (*)(long long)>("TermbVirtualAdvanceClock");
    ASSERT_NE(advance, nullptr);
    advance(ms);
}

// The results and buffers of one base read.
struct BaseRead
{
    int code = -1;
    std::vector<unsigned char> text = std::vector<unsigned char>(kTextBufferSize, 0xEE);
    unsigned textLen = 0;
    std::vector<unsigned char> photo = std::vector<unsigned char>(kPhotoBufferSize, 0xEE);
    unsigned photoLen = 0;
    std::vector<unsigned char> fingerprint = std::vector<unsigned char>(1024, 0xEE);
    int fingerprintLen = 1024;
};

class VirtualReaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(virtualReader().loaded) << virtualReader().error;
        useDefaultDemo();
    }
    void TearDown() override { useDefaultDemo(); }

    const TermbApi& api() const { return virtualReader().api; }

    void useDefaultDemo()
    {
        SetTestVariable("TERMB_VIRTUAL_SCENARIO", "");
        resetVirtualReader();
    }

    // Writes `json` as the scenario and starts the reader afresh with it.
    void useScenario(const std::string& json)
    {
        m_dir.write("scenario.json", json);
        SetTestVariable("TERMB_VIRTUAL_SCENARIO", m_dir.file("scenario.json"));
        resetVirtualReader();
    }

    // A manual timeline with no latency; the control file starts empty.
    void useManualScenario(const std::string& extra = "")
    {
        m_dir.write("card", "");
        useScenario(
            R"({"latency_scale": 0, "timeline": {"mode": "manual", "control_file": "card"})" +
            (extra.empty() ? "" : ", " + extra) + "}");
    }
    void placeCard(const std::string& content) { m_dir.write("card", content); }

    int open(int port = 1001)
    {
        api().SDT_ClosePort(port);
        return api().SDT_OpenPort(port);
    }
    int find(int port = 1001)
    {
        unsigned char manage[kManageBufferSize] = {};
        return api().SDT_StartFindIDCard(port, manage, 0);
    }
    int select(int port = 1001)
    {
        unsigned char manage[kManageBufferSize] = {};
        return api().SDT_SelectIDCard(port, manage, 0);
    }
    BaseRead read(bool withFingerprint = true, int port = 1001)
    {
        BaseRead r;
        if (withFingerprint)
            r.code =
                api().SDT_ReadBaseFPMsg(port, r.text.data(), &r.textLen, r.photo.data(),
                                        &r.photoLen, r.fingerprint.data(), &r.fingerprintLen, 0);
        else
            r.code = api().SDT_ReadBaseMsg(port, r.text.data(), &r.textLen, r.photo.data(),
                                           &r.photoLen, 0);
        return r;
    }
    int stillThere(int port = 1001)
    {
        unsigned char buf[kTextBufferSize];
        unsigned len = 0;
        return api().SDT_ReadNewAppMsg(port, buf, &len, 0);
    }
    std::string samId(int port = 1001, int* code = nullptr)
    {
        char sam[201] = {};
        const int c = api().SDT_GetSAMIDToStr(port, sam, 0);
        if (code)
            *code = c;
        return sam;
    }

    TempDir m_dir;
};
