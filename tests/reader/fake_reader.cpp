#include "fake_reader.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

#include "tests/card/base_text_builder.h"

namespace {

FakeReader* g_reader = nullptr;

int next(std::deque<int>& script, int modelAnswer)
{
    if (script.empty())
        return modelAnswer;
    const int answer = script.front();
    script.pop_front();
    return answer;
}

void note(const char* function, int value)
{
    // No test needs anywhere near this many calls. A thread that keeps
    // calling is a fault; stopping it here fails the test instead of letting
    // the log take all the machine's memory.
    constexpr std::size_t kMaxCalls = 1000000;
    if (g_reader->log.size() >= kMaxCalls) {
        ADD_FAILURE() << "the thread called the reader " << kMaxCalls << " times";
        throw std::length_error("runaway reading thread");
    }
    g_reader->log.push_back(std::string(function) + " " + std::to_string(value));
}

int TERMB_CALL openPort(int port)
{
    note("open", port);
    if (g_reader->onOpen)
        g_reader->onOpen();
    const bool opens =
        g_reader->answeringPorts.count(port) || g_reader->silentModulePorts.count(port);
    return opens ? kTermbOk : 1;
}

int TERMB_CALL closePort(int port)
{
    note("close", port);
    return kTermbOk;
}

int TERMB_CALL getSamId(int port, char* samId, int)
{
    note("sam", port);
    if (!g_reader->answeringPorts.count(port))
        return 1;
    std::strcpy(samId, g_reader->samId.c_str());
    return kTermbOk;
}

int TERMB_CALL findCard(int port, unsigned char*, int)
{
    note("find", port);
    if (!g_reader->cards.empty() && g_reader->cards.front().absentFinds > 0) {
        --g_reader->cards.front().absentFinds;
        return next(g_reader->findScript, FakeReader::kNoCard);
    }
    return next(g_reader->findScript,
                g_reader->cardPresent() ? kTermbCardFound : FakeReader::kNoCard);
}

int TERMB_CALL selectCard(int port, unsigned char*, int)
{
    note("select", port);
    return next(g_reader->selectScript, g_reader->cardPresent() ? kTermbOk : FakeReader::kNoCard);
}

int TERMB_CALL readBaseFp(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                          unsigned* photoLen, unsigned char* fp, int* fpLen, int)
{
    fp ? note("readfp", *fpLen) : note("read", port);
    const int answer =
        next(g_reader->readScript, g_reader->cardPresent() ? kTermbOk : FakeReader::kNoCard);
    if (answer != kTermbOk || !g_reader->cardPresent())
        return answer;
    const FakeCard& card = g_reader->cards.front();
    if (card.baseText.empty()) {
        const auto base =
            BaseTextBuilder().name("测试").sex("1").nation("01").idNumber(card.idNo).bytes();
        std::memcpy(text, base.data(), base.size());
        *textLen = static_cast<unsigned>(base.size());
    } else {
        const std::size_t n = std::min<std::size_t>(card.baseText.size(), kTextBufferSize);
        std::memcpy(text, card.baseText.data(), n);
        *textLen = static_cast<unsigned>(n);
    }
    std::copy(card.photo.begin(), card.photo.end(), photo);
    *photoLen = card.reportedPhotoLength ? card.reportedPhotoLength
                                         : static_cast<unsigned>(card.photo.size());
    if (fp) {
        std::memset(fp, 0x43, 512);
        *fpLen = 512;
    }
    return answer;
}

int TERMB_CALL readBase(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                        unsigned* photoLen, int)
{
    return readBaseFp(port, text, textLen, photo, photoLen, nullptr, nullptr, 0);
}

int TERMB_CALL pollCard(int port, unsigned char*, unsigned* len, int)
{
    note("poll", port);
    if (g_reader->onPoll)
        g_reader->onPoll();
    *len = 0;
    int model = kTermbCardGone;
    if (g_reader->cardPresent()) {
        FakeCard& card = g_reader->cards.front();
        if (card.polls == 0) {
            g_reader->cards.pop_front();
        } else {
            card.polls -= card.polls > 0;
            model = kTermbOk;
        }
    }
    return next(g_reader->pollScript, model);
}

int TERMB_CALL wltToBmp(unsigned char* wlt, unsigned char* bmp)
{
    if (!g_reader->cardPresent())
        return -1;
    const FakeCard& card = g_reader->cards.front();
    const std::size_t length = std::min<std::size_t>(card.photo.size(), kPhotoBufferSize);
    if (!std::equal(card.photo.begin(), card.photo.begin() + length, wlt))
        return -2; // not the photo that was read
    if (card.bitmapWritten)
        std::fill_n(bmp, kTermbBitmapSize, card.photo.empty() ? 0 : card.photo.front());
    return card.bitmapResult;
}

} // namespace

FakeReader::FakeReader()
{
    g_reader = this;
}

FakeReader::~FakeReader()
{
    g_reader = nullptr;
}

TermbApi FakeReader::api() const
{
    TermbApi api;
    api.SDT_OpenPort = openPort;
    api.SDT_ClosePort = closePort;
    api.SDT_GetSAMIDToStr = getSamId;
    api.SDT_StartFindIDCard = findCard;
    api.SDT_SelectIDCard = selectCard;
    api.SDT_ReadBaseMsg = readBase;
    api.SDT_ReadBaseFPMsg = readBaseFp;
    api.SDT_ReadNewAppMsg = pollCard;
    api.Wlt2Bmp = wltToBmp;
    return api;
}

std::vector<int> FakeReader::openedPorts() const
{
    std::vector<int> ports;
    for (const std::string& entry : log) {
        if (entry.rfind("open ", 0) == 0)
            ports.push_back(std::stoi(entry.substr(5)));
    }
    return ports;
}

int FakeReader::count(const std::string& function) const
{
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& e) {
        return e == function || e.rfind(function + " ", 0) == 0;
    }));
}
