#pragma once
// A scripted reader for the reading thread's tests. TermbApi holds plain
// function pointers, so the table's functions answer from the one FakeReader
// that is installed at the time.
//
// The model: a list of cards that arrive one after the other. The front card
// stays away for `absentFinds` finds, then lies on the reader; after `polls`
// removal polls it is taken away (65) and the next card starts. Scripts put
// answers in front of the model's, one per call.

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "reader/termb.h"

struct FakeCard
{
    std::string idNo;
    std::vector<unsigned char> photo;
    int absentFinds = 0;                 // finds that see no card before this one arrives
    int polls = -1;                      // removal polls answering 144 before it leaves; -1 never
    int bitmapResult = kTermbBitmapSize; // Wlt2Bmp's bitmap: every byte the photo's first
    unsigned reportedPhotoLength = 0;    // the photo length the read reports; 0: the photo's size
    bool bitmapWritten = true;           // false: Wlt2Bmp answers without touching the buffer
    // The base text the read hands out; empty: an identity card's with `idNo`.
    std::vector<unsigned char> baseText = {};
};

class FakeReader
{
public:
    FakeReader();
    ~FakeReader();

    TermbApi api() const;

    std::set<int> answeringPorts{kUsbPortForFake};
    std::set<int> silentModulePorts; // open, but give no security-module number
    std::string samId = "05.01-20260101-0000000001-1234567890";
    std::deque<FakeCard> cards;
    std::deque<int> findScript, selectScript, readScript, pollScript;
    std::function<void()> onPoll; // before each removal poll
    std::function<void()> onOpen; // before each open

    // Every call as "<function> <port>" ("open 3", "find 1001", "readfp 1024"
    // where the number is the fingerprint length passed in).
    std::vector<std::string> log;

    std::vector<int> openedPorts() const; // ports given to SDT_OpenPort, in order
    int count(const std::string& function) const;
    bool cardPresent() const { return !cards.empty() && cards.front().absentFinds == 0; }

    static constexpr int kUsbPortForFake = 1001;
    static constexpr int kNoCard = 128;
};
