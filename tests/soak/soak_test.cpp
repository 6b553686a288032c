// The reading thread for a long run against the virtual reader, bound through
// the loader as the program binds it, at zero latency in continuous mode,
// with every fault the virtual reader can inject drawn at random (seeded) and
// cards placed, swapped and removed at random by a driver thread.
//
// What must hold on the status stream, checked at every status:
// - every RS_CARD_READ shows a card that lay on the reader since the status
//   before it was handled, with its own name, fingerprint and photo files:
//   zp.bmp is that card's bitmap or absent, never another card's;
// - no status is sent once the thread body has returned, and at most one
//   pass's worth after Terminate();
// - the thread never ends by itself and never stalls (watchdog);
// - resident memory stays flat (sampled at the start and the end).
//
// Environment: ZUVI_SOAK_PASSES (read passes, default 100000), ZUVI_SOAK_SECONDS
// (time budget, default 25, or 300 when ZUVI_SOAK_PASSES is set),
// ZUVI_SOAK_SEED. The budget only bounds the run: passes left when it is
// spent are reported, not failed.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "../reader/reader_test_support.h"
#include "reader/photo_files.h"
#include "reader/termb_loader.h"
#include "sim/cards.h"
#include "sim/control_file.h"
#include "sim/photo.h"

namespace {

using namespace std::chrono_literals;

// AddressSanitizer keeps freed memory in quarantine, so resident memory grows
// for reasons of its own there; flatness is checked in plain builds only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPlainAllocator = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPlainAllocator = false;
#else
constexpr bool kPlainAllocator = true;
#endif
#else
constexpr bool kPlainAllocator = true;
#endif
using Clock = std::chrono::steady_clock;

long envLong(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string readFile(const std::string& path, bool& exists)
{
    std::ifstream in(path, std::ios::binary);
    exists = bool(in);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the virtual reader hands out for one of its built-in cards, as the
// tool should show it.
struct ExpectedCard
{
    int number = 0;
    std::string name;   // GBK, as CardInfo holds it
    std::string photo;  // compressed, as zp.wlt should hold it
    std::string bitmap; // as zp.bmp should hold it
    std::vector<unsigned char> fingerprint;
};

std::map<std::string, ExpectedCard> expectedCards()
{
    std::map<std::string, ExpectedCard> cards;
    const auto& specs = termbsim::BuiltinCards();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        termbsim::CardImage image;
        std::string error;
        if (!termbsim::BuildCardImage(specs[i], image, error))
            throw std::runtime_error(error);
        TIDCardInfo record{};
        DecodeBaseTextInto(record, image.baseText.data());
        ExpectedCard card;
        card.number = int(i);
        card.name = FieldText(record.Name);
        card.photo.assign(image.photo.begin(), image.photo.end());
        std::vector<std::uint8_t> wlt(image.photo);
        wlt.resize(kPhotoBufferSize);
        std::vector<std::uint8_t> bmp(kBitmapBufferSize);
        if (termbsim::DecodePhoto(wlt.data(), bmp.data()) != kTermbBitmapSize)
            throw std::runtime_error("a built-in photo does not decode");
        card.bitmap.assign(bmp.begin(), bmp.begin() + kTermbBitmapSize);
        card.fingerprint = image.fingerprint;
        cards[FieldText(record.IDCardNo)] = card;
    }
    return cards;
}

// Counts reader calls on their way to the loaded library: a pass is one find,
// and any call at all is progress for the watchdog.
TermbApi g_library;
std::atomic<long> g_finds{0};
std::atomic<long> g_calls{0};

template <auto Member, class... Args> int TERMB_CALL counted(Args... args)
{
    ++g_calls;
    return (g_library.*Member)(args...);
}

int TERMB_CALL countedFind(int port, unsigned char* manage, int ifOpen)
{
    ++g_finds;
    ++g_calls;
    return g_library.SDT_StartFindIDCard(port, manage, ifOpen);
}

TermbApi countingApi(const TermbApi& library)
{
    g_library = library;
    TermbApi api;
    api.SDT_OpenPort = counted<&TermbApi::SDT_OpenPort, int>;
    api.SDT_ClosePort = counted<&TermbApi::SDT_ClosePort, int>;
    api.SDT_GetSAMIDToStr = counted<&TermbApi::SDT_GetSAMIDToStr, int, char*, int>;
    api.SDT_StartFindIDCard = countedFind;
    api.SDT_SelectIDCard = counted<&TermbApi::SDT_SelectIDCard, int, unsigned char*, int>;
    api.SDT_ReadBaseMsg = counted<&TermbApi::SDT_ReadBaseMsg, int, unsigned char*, unsigned*,
                                  unsigned char*, unsigned*, int>;
    api.SDT_ReadBaseFPMsg = counted<&TermbApi::SDT_ReadBaseFPMsg, int, unsigned char*, unsigned*,
                                    unsigned char*, unsigned*, unsigned char*, int*, int>;
    api.SDT_ReadNewAppMsg =
        counted<&TermbApi::SDT_ReadNewAppMsg, int, unsigned char*, unsigned*, int>;
    api.Wlt2Bmp = counted<&TermbApi::Wlt2Bmp, unsigned char*, unsigned char*>;
    return api;
}

// Places and removes cards through the virtual reader's control file, and
// remembers which card lay there since when: placement generation g holds
// card placements[g] (-1 for the empty reader).
class CardDriver
{
public:
    CardDriver(std::string file, unsigned seed) : m_file(std::move(file)), m_random(seed)
    {
        place(-1);
    }

    void run(const std::atomic<bool>& stop, int cardCount)
    {
        while (!stop) {
            const int roll = int(m_random() % 100);
            // Mostly short placements, so that passes, not removal waits,
            // make up most of the run.
            const int pauseUs = roll < 70 ? int(m_random() % 100) : int(m_random() % 1000);
            // Short pauses are waited out awake: a sleeping thread on a busy
            // machine wakes milliseconds late, and placements would be rare.
            if (pauseUs < 100) {
                const auto until = Clock::now() + std::chrono::microseconds(pauseUs);
                while (Clock::now() < until)
                    std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
            }
            if (roll < 45) {
                place(int(m_random() % cardCount));
            } else if (roll < 85) {
                place(-1);
            } else {
                // The same card taken off and put back at once.
                const int card = current();
                place(-1);
                place(card >= 0 ? card : int(m_random() % cardCount));
            }
        }
    }

    // The generation in force now, which is also the number of placements;
    // the card of every generation from it on may be read before the next
    // status.
    long generation() const
    {
        std::lock_guard lock(m_mutex);
        return m_generation;
    }

    // The cards that lay on the reader from generation `since` to now; drops
    // what is older than `since`.
    std::vector<int> cardsSince(long since)
    {
        std::lock_guard lock(m_mutex);
        while (!m_history.empty() && m_history.front().first < since)
            m_history.pop_front();
        std::vector<int> cards;
        for (const auto& [generation, card] : m_history)
            cards.push_back(card);
        return cards;
    }

private:
    int current() const
    {
        std::lock_guard lock(m_mutex);
        return m_history.empty() ? -1 : m_history.back().second;
    }

    // The file is replaced whole under the lock, so a generation and the
    // file's content always go together.
    void place(int card)
    {
        std::lock_guard lock(m_mutex);
        if (!termbsim::WriteControlFile(m_file, card >= 0 ? std::to_string(card) : std::string()))
            ADD_FAILURE() << "could not write the control file " << m_file;
        ++m_generation;
        m_history.emplace_back(m_generation, card);
    }

    const std::string m_file;
    std::mt19937 m_random;
    mutable std::mutex m_mutex;
    long m_generation = 0;
    std::deque<std::pair<long, int>> m_history;
};

struct SoakFigures
{
    long passes = 0;
    long statuses = 0;
    long cardsShown = 0;
    long photosShown = 0;
    long segments = 0;
    long byStatus[7] = {};
};

class SoakTest : public ReaderStateTest
{
protected:
    // The status target: handles statuses as the main window does and checks
    // each one. Runs on the reading thread while it waits.
    void onStatus(int status)
    {
        ++m_figures.statuses;
        if (status >= 0 && status < 7)
            ++m_figures.byStatus[status];
        if (m_bodyDone)
            fail("status " + std::to_string(status) + " after the thread body returned");
        if (m_terminateCalled && ++m_afterTerminate > 3)
            fail("more than one pass's statuses after Terminate()");
        if (status != RS_DEVICE_FOUND && status != RS_NO_DEVICE && status != RS_CARD_READ &&
            status != RS_CARD_LOST && status != RS_NO_CARD)
            fail("unknown status " + std::to_string(status));

        if (status != LastMsgCode) {
            LastMsgCode = status;
            if (status == RS_CARD_READ)
                checkCardShown();
            else
                LastIDCardNo.clear();
        }
        m_handledGeneration = m_driver->generation();
    }

    void checkCardShown()
    {
        ++m_figures.cardsShown;
        const std::string id = FieldText(CardInfo.IDCardNo);
        const auto it = m_cards.find(id);
        if (it == m_cards.end())
            return fail("shown ID number " + id + " is no card's");
        const ExpectedCard& card = it->second;
        if (FieldText(CardInfo.Name) != card.name)
            fail("card " + std::to_string(card.number) + " shown with another name");
        const std::vector<int> onReader = m_driver->cardsSince(m_handledGeneration);
        if (std::find(onReader.begin(), onReader.end(), card.number) == onReader.end())
            fail("card " + std::to_string(card.number) + " shown, but it was not on the reader");

        const bool fingerprint = !card.fingerprint.empty();
        if (CardInfo.FingerprintLength != (fingerprint ? int(kFingerprintSize) : 0) ||
            (fingerprint && !std::equal(card.fingerprint.begin(), card.fingerprint.end(),
                                        CardInfo.FingerprintData)))
            fail("card " + std::to_string(card.number) + " shown with wrong fingerprint data");

        // The photo the card view would load now: this card's, or none.
        bool haveBmp = false, haveWlt = false;
        const std::string bmp = readFile(PhotoBmpPath(), haveBmp);
        const std::string wlt = readFile(PhotoWltPath(), haveWlt);
        if (haveBmp) {
            ++m_figures.photosShown;
            if (bmp != card.bitmap)
                fail("card " + std::to_string(card.number) + " shown with another photo");
        }
        // The compressed photo as read: exact when it decoded; otherwise
        // at most its last byte differs (the corrupt-photo fault).
        const bool sameButLast = wlt.size() == card.photo.size() && !wlt.empty() &&
                                 std::equal(wlt.begin(), wlt.end() - 1, card.photo.begin());
        if (!haveWlt || !sameButLast || (haveBmp && wlt != card.photo))
            fail("card " + std::to_string(card.number) + " shown with another zp.wlt");
    }

    void fail(const std::string& what)
    {
        std::lock_guard lock(m_failMutex);
        if (m_failures.size() < 20)
            m_failures.push_back(what + " (after " + std::to_string(g_finds) + " passes)");
        ++m_failureCount;
    }

    std::map<std::string, ExpectedCard> m_cards = expectedCards();
    CardDriver* m_driver = nullptr;
    SoakFigures m_figures;
    long m_handledGeneration = 0;
    std::atomic<bool> m_terminateCalled{false};
    std::atomic<bool> m_bodyDone{false};
    int m_afterTerminate = 0;

    std::mutex m_failMutex;
    std::vector<std::string> m_failures;
    std::atomic<long> m_failureCount{0};
};

TEST_F(SoakTest, ContinuousReadingWithRandomFaults)
{
    const long targetPasses = envLong("ZUVI_SOAK_PASSES", 100000);
    const long budgetSeconds =
        envLong("ZUVI_SOAK_SECONDS", std::getenv("ZUVI_SOAK_PASSES") ? 300 : 25);
    const unsigned seed = unsigned(envLong("ZUVI_SOAK_SEED", 20261209));
    std::printf("soak: %ld passes within %ld s, seed %u\n", targetPasses, budgetSeconds, seed);

    serialPorts = std::vector<std::string>{"COM3", "COMX"};
    CardDriver driver(SOAK_CARD_FILE, seed);
    m_driver = &driver;

    const TermbLibrary library = LoadTermbLibrary();
    ASSERT_TRUE(library.loaded) << library.error;
    ASSERT_TRUE(library.isVirtual) << "TERMB_LIBRARY must name the virtual reader";
    const TermbApi api = countingApi(library.api);

    std::atomic<bool> stopDriver{false};
    std::thread driverThread([&] { driver.run(stopDriver, int(m_cards.size())); });

    std::mt19937 random(seed);
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(budgetSeconds);
    long rssStart = 0;
    bool stalled = false;
    bool diedEarly = false;

    while (g_finds < targetPasses && Clock::now() < deadline && !stalled && !diedEarly &&
           m_failureCount == 0) {
        // One life of the reading thread: started, run for a while, ended at
        // a random moment, as the main window ends it when closing.
        ++m_figures.segments;
        m_terminateCalled = false;
        m_bodyDone = false;
        m_afterTerminate = 0;
        const long segmentPasses = g_finds + 500 + long(random() % 4000);
        {
            TReadThread thread(api);
            thread.OwnerWnd = [this](int status) { onStatus(status); };
            ReadMode = kReadContinuous;
            thread.Resume();

            long lastCalls = g_calls;
            auto lastProgress = Clock::now();
            while (g_finds < std::min(segmentPasses, targetPasses) && Clock::now() < deadline) {
                std::this_thread::sleep_for(5ms);
                if (thread.WaitFor(0)) {
                    diedEarly = true;
                    break;
                }
                if (g_calls != lastCalls) {
                    lastCalls = g_calls;
                    lastProgress = Clock::now();
                } else if (Clock::now() - lastProgress > 10s) {
                    stalled = true;
                    break;
                }
                // Memory is measured from a warmed-up state: caches filled,
                // files and card data seen once.
                if (rssStart == 0 && g_finds >= std::min(2000L, targetPasses / 10))
                    rssStart = residentKiB();
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
            m_terminateCalled = true;
            ReadMode = kReadIdle;
            thread.Terminate();
            if (!thread.WaitFor(10000)) {
                stalled = true;
                break; // the thread is left behind; the process ends anyway
            }
            m_bodyDone = true;
        }
    }
    stopDriver = true;
    driverThread.join();
    const long rssEnd = residentKiB();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m_figures.passes = g_finds;

    std::printf("soak: %ld passes, %ld reader calls, %ld statuses, %ld cards shown "
                "(%ld with photo), %ld placements, %ld thread lives in %.1f s (%.0f passes/s)\n",
                m_figures.passes, long(g_calls), m_figures.statuses, m_figures.cardsShown,
                m_figures.photosShown, driver.generation(), m_figures.segments, seconds,
                m_figures.passes / seconds);
    std::printf("soak: statuses sent: %ld device found, %ld no device, %ld card read, %ld card "
                "lost, %ld no card\n",
                m_figures.byStatus[RS_DEVICE_FOUND], m_figures.byStatus[RS_NO_DEVICE],
                m_figures.byStatus[RS_CARD_READ], m_figures.byStatus[RS_CARD_LOST],
                m_figures.byStatus[RS_NO_CARD]);
    std::printf("soak: resident memory %ld KiB after warm-up, %ld KiB at the end\n", rssStart,
                rssEnd);
    if (m_figures.passes < targetPasses)
        std::printf("soak: time budget spent before %ld passes\n", targetPasses);

    for (const std::string& failure : m_failures)
        ADD_FAILURE() << failure;
    EXPECT_EQ(m_failureCount, 0);
    EXPECT_FALSE(stalled) << "no reader call for 10 s, or the thread did not end";
    EXPECT_FALSE(diedEarly) << "the thread body returned before Terminate()";
    EXPECT_GT(m_figures.cardsShown, 0);
    EXPECT_GT(m_figures.photosShown, 0);
    // Flat memory: a leak of even a few bytes per pass over the long run
    // would show as megabytes; the margin covers allocator noise.
    if (kPlainAllocator && rssStart > 0 && m_figures.passes >= 50000) {
        EXPECT_LT(rssEnd - rssStart, 4096) << "resident memory grew";
    }
}

} // namespace
