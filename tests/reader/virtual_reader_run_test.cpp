// The reading thread on its own thread against the virtual reader, bound
// through the loader as the program binds it: continuous reading of several
// cards placed and removed by hand, with no call latency.
//
// TERMB_LIBRARY names the virtual reader; TERMB_VIRTUAL_SCENARIO a scenario
// whose control file (VIRTUAL_CARD_FILE) holds the number of the card on the
// reader. Run with the library in the test's process and, where a reader
// host is built (READER_HOST), in a host of its own: the same statuses, cards
// and photo files either way.

#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <thread>

#include "reader/photo_files.h"
#ifdef READER_HOST
#include "reader/hosted_reader.h"
#endif
#include "reader/termb_loader.h"
#include "reader_test_support.h"
#include "sim/control_file.h"

namespace {

using namespace std::chrono_literals;
using Ints = std::vector<int>;

// Puts card `card` on the reader, or takes the card away (-1). The file is
// replaced whole, so the reader never sees half a number.
void placeCard(int card)
{
    ASSERT_TRUE(termbsim::WriteControlFile(VIRTUAL_CARD_FILE,
                                           card >= 0 ? std::to_string(card) : std::string()));
}

class VirtualReaderRunTest : public ReaderStateTest, public testing::WithParamInterface<bool>
{
};

TEST_P(VirtualReaderRunTest, ContinuousReadingOfSeveralCards)
{
    placeCard(-1);
    const TermbLibrary library = LoadTermbLibrary();
    ASSERT_TRUE(library.loaded) << library.error;
    ASSERT_TRUE(library.isVirtual);
    TermbApi api = library.api;
#ifdef READER_HOST
    HostedReader hosted(READER_HOST, library.path);
    if (GetParam())
        api = hosted.Api();
#endif

    StatusRecorder status;
    TReadThread thread(api);
    thread.OwnerWnd = std::ref(status);
    const StopsWithTheTest stops(thread);
    thread.Resume();
    ReadMode = kReadContinuous;
    auto handledCount = [&](std::size_t n) {
        return eventually([&] { return status.handled().size() >= n; });
    };

    ASSERT_TRUE(handledCount(1));
    const int cards[] = {0, 1, 2};
    for (std::size_t i = 0; i < std::size(cards); ++i) {
        placeCard(cards[i]);
        ASSERT_TRUE(handledCount(3 * i + 2)) << "card " << cards[i];
        if (i + 1 < std::size(cards)) {
            placeCard(-1);
            ASSERT_TRUE(handledCount(3 * i + 4)) << "after card " << cards[i];
        }
    }
    ReadMode = kReadIdle;
    thread.Terminate();
    ASSERT_TRUE(thread.WaitFor(20000));

    EXPECT_EQ(status.handled(), (Ints{1, 3, 4, 6, 3, 4, 6, 3}));
    const auto ids = status.shownIds();
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u);

    // Each card was shown with its own photo, and the files hold the last.
    const auto photos = status.shownPhotos();
    ASSERT_EQ(photos.size(), 3u);
    for (const std::string& photo : photos) {
        EXPECT_EQ(photo.size(), std::size_t(kTermbBitmapSize));
        EXPECT_EQ(photo.substr(0, 2), "BM");
    }
    EXPECT_NE(photos[0], photos[1]);
    EXPECT_NE(photos[1], photos[2]);
    EXPECT_EQ(m_dir.read(kPhotoBmpName), photos[2]);

    std::string wlt = m_dir.read(kPhotoWltName);
    ASSERT_FALSE(wlt.empty());
    wlt.resize(kPhotoBufferSize);
    std::vector<unsigned char> bitmap(kBitmapBufferSize);
    ASSERT_EQ(library.api.Wlt2Bmp(reinterpret_cast<unsigned char*>(wlt.data()), bitmap.data()),
              kTermbBitmapSize);
    EXPECT_EQ(std::string(bitmap.begin(), bitmap.begin() + kTermbBitmapSize), photos[2]);
#ifdef READER_HOST
    EXPECT_FALSE(hosted.TakeFault());
#endif
}

#ifdef READER_HOST
INSTANTIATE_TEST_SUITE_P(InProcessAndHosted, VirtualReaderRunTest, testing::Bool());
#else
INSTANTIATE_TEST_SUITE_P(InProcess, VirtualReaderRunTest, testing::Values(false));
#endif

} // namespace
