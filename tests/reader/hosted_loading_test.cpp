// The loader's search opening its files in a reader host, and the reading
// thread over a hosted library that crashes or hangs on demand.

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "hosted_reader_test.h"
#include "reader/read_thread.h"
#include "reader/termb_loader.h"
#include "state/shared_state.h"

namespace {

using namespace std::chrono_literals;

class HostedLoadingTest : public HostedReaderTest
{
protected:
    void SetUp() override
    {
        ResetSharedState();
        HostedReaderTest::SetUp();
    }
    void TearDown() override
    {
        HostedReaderTest::TearDown();
        SetReaderHosting(std::nullopt);
    }
    void tell(const std::string& order) { m_dir.write("control", order); }
};

TEST_F(HostedLoadingTest, AFileLoadsHostedAsItLoadsInProcess)
{
    m_dir.write("empty.so", "");
    m_dir.write("text.so", "no library at all, only text");
    for (const std::string& file : {std::string(HOSTILE_TERMB), m_dir.file("absent.so"),
                                    m_dir.file("empty.so"), m_dir.file("text.so")}) {
        SCOPED_TRACE(file);
        SetReaderHosting(std::nullopt);
        const TermbLibrary inProcess = LoadTermbLibraryFrom(file);
        SetReaderHosting(ReaderHosting{READER_HOST, 10s});
        const TermbLibrary hosted = LoadTermbLibraryFrom(file);
        EXPECT_EQ(hosted.loaded, inProcess.loaded);
        EXPECT_EQ(hosted.failure, inProcess.failure);
        EXPECT_EQ(hosted.fileCheck.problem, inProcess.fileCheck.problem);
        EXPECT_EQ(hosted.tried, inProcess.tried);
        EXPECT_FALSE(inProcess.host);
        EXPECT_EQ(hosted.host != nullptr, hosted.loaded);
    }
}

// Each fault ends the pass with its status and leaves the reader not found;
// once the library behaves, the next pass opens it in a fresh host and reads.
TEST_F(HostedLoadingTest, TheReadingThreadOutlivesTheLibraryAndReadsTheNextCard)
{
    const struct
    {
        const char* order;
        const char* function;
        int mode;
        std::vector<int> statuses;
    } cases[] = {
        {"SDT_ReadBaseFPMsg null",
         "SDT_ReadBaseFPMsg",
         kReadOnce,
         {RS_DEVICE_FOUND, RS_LIBRARY_CRASHED}},
        {"SDT_ReadBaseFPMsg abort",
         "SDT_ReadBaseFPMsg",
         kReadOnce,
         {RS_DEVICE_FOUND, RS_LIBRARY_CRASHED}},
        {"SDT_ReadBaseFPMsg exit",
         "SDT_ReadBaseFPMsg",
         kReadOnce,
         {RS_DEVICE_FOUND, RS_LIBRARY_CRASHED}},
        {"SDT_ReadBaseFPMsg hang",
         "SDT_ReadBaseFPMsg",
         kReadOnce,
         {RS_DEVICE_FOUND, RS_LIBRARY_HUNG}},
        {"SDT_OpenPort null", "SDT_OpenPort", kReadOnce, {RS_LIBRARY_CRASHED}},
        {"Wlt2Bmp abort", "Wlt2Bmp", kReadOnce, {RS_DEVICE_FOUND, RS_LIBRARY_CRASHED}},
        {"SDT_ReadNewAppMsg hang",
         "SDT_ReadNewAppMsg",
         kReadContinuous,
         {RS_DEVICE_FOUND, RS_CARD_READ, RS_LIBRARY_HUNG}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        ResetSharedState();
        PortNo = kUsbPort;
        const bool hangs = c.statuses.back() == RS_LIBRARY_HUNG;
        SetReaderHosting(ReaderHosting{READER_HOST, hangs ? 300ms : 10000ms});
        const TermbLibrary library = LoadTermbLibraryFrom(HOSTILE_TERMB);
        ASSERT_TRUE(library.loaded);
        TReadThread thread(library.api, [](int) {});
        std::vector<int> statuses;
        thread.OwnerWnd = [&](int status) { statuses.push_back(status); };
        auto pass = [&](int mode) {
            statuses.clear();
            ReadMode = mode;
            if (thread.CheckDevice() && DeviceOK)
                thread.ReadCard();
        };

        tell(c.order);
        pass(c.mode);
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(ReaderFaultFunction.str(), c.function);
        EXPECT_FALSE(DeviceOK);

        tell("");
        pass(kReadOnce);
        EXPECT_EQ(statuses, (std::vector<int>{RS_DEVICE_FOUND, RS_CARD_READ}));
    }
}

} // namespace
