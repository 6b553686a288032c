#include "sim/virtual_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "sim/photo.h"
#include "sim/portrait.h"

namespace termbsim {

namespace {

constexpr const char* kVersion = "1.0";

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

VirtualReader& TheReader()
{
    static VirtualReader* reader = new VirtualReader;
    return *reader;
}

void VirtualReader::ensureLoaded(std::unique_lock<std::mutex>&)
{
    if (!m_loaded)
        loadLocked();
}

void VirtualReader::loadLocked()
{
    m_loaded = true;
    m_openPorts.clear();
    m_start = Clock::now();
    m_offsetMs = 0;
    m_liftedPlacement = -1;
    m_cardPlacement = -1;
    m_vanishedUntilMs = -1;
    m_lastCallMs = -1;
    m_controlContent.clear();
    m_controlSeen = false;
    m_manualCard = -1;
    m_manualPlacement = 0;
    m_badControlContent.clear();
    m_replay.reset();
    m_replayPort = 0;

    std::string description;
    const char* file = std::getenv("TERMB_VIRTUAL_SCENARIO");
    if (file && *file) {
        Scenario s;
        std::string error;
        Recording recording;
        if (LoadScenarioFile(file, s, error) &&
            (s.replay.empty() || LoadRecordingFile(s.replay, recording, error))) {
            m_scenario = std::move(s);
            m_attached = true;
            description = "scenario " + m_scenario.source;
            if (!m_scenario.replay.empty()) {
                description = "replay of " + m_scenario.replay + ", " +
                              std::to_string(recording.calls.size()) + " calls" +
                              (recording.redacted ? ", redacted" : "");
                m_scenario.cards.clear();
                m_replay = std::make_unique<Replay>(std::move(recording));
            }
        } else {
            // A scenario that cannot be used gives a reader that is not
            // there, never a crash of the tool; one line says why.
            m_scenario = Scenario{};
            m_scenario.source = file;
            m_attached = false;
            std::fprintf(
                stderr, "termb_virtual: scenario file %s: %s; the virtual reader is not attached\n",
                file, error.c_str());
            std::fflush(stderr);
            description = "scenario " + std::string(file) + " is malformed, no reader attached";
        }
    } else {
        m_scenario = DefaultScenario();
        m_attached = true;
        description = "default demo";
    }
    for (int i = 0; i < kFaultCount; ++i) {
        m_faults[i].calls = 0;
        m_faults[i].random.seed(m_scenario.faults[i].seed);
    }
    std::string info = std::string("zuviruzozozad virtual reader ") + kVersion + " (" + description;
    if (m_attached && !m_replay)
        info += ", " + std::to_string(m_scenario.cards.size()) + " fictional cards";
    info += ")";
    std::snprintf(m_info, sizeof m_info, "%s", info.c_str());
}

void VirtualReader::reset()
{
    std::unique_lock lock(m_mutex);
    loadLocked();
}

void VirtualReader::advanceClock(std::int64_t milliseconds)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    m_offsetMs += milliseconds;
}

const char* VirtualReader::info()
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    return m_info;
}

std::int64_t VirtualReader::elapsedMs() const
{
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start);
    return since.count() + m_offsetMs;
}

void VirtualReader::waitLatency(std::unique_lock<std::mutex>& lock, Call call)
{
    const double ms = m_scenario.latencyMs[static_cast<int>(call)] * m_scenario.latencyScale;
    if (ms <= 0)
        return;
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(ms * 1000)));
    lock.lock();
}

void VirtualReader::refreshControlFileLocked()
{
    // Read at every call: the file is a few bytes, and a change within the
    // file system's time-stamp granularity is never missed.
    std::string content;
    if (std::ifstream in{m_scenario.timeline.controlFile, std::ios::binary}) {
        char buf[64];
        in.read(buf, sizeof buf);
        content.assign(buf, static_cast<std::size_t>(in.gcount()));
    }
    content = trimmed(content);
    if (m_controlSeen && content == m_controlContent)
        return;
    m_controlSeen = true;
    m_controlContent = content;
    ++m_manualPlacement;
    m_manualCard = -1;
    if (content.empty())
        return;
    const bool digits =
        content.size() <= 6 &&
        std::all_of(content.begin(), content.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int n = digits ? std::atoi(content.c_str()) : -1;
    if (digits && n < static_cast<int>(m_scenario.cards.size())) {
        m_manualCard = n;
        return;
    }
    if (content != m_badControlContent) {
        m_badControlContent = content;
        std::fprintf(stderr,
                     "termb_virtual: control file %s: \"%s\" is not a card number from 0 to %d; "
                     "the reader is empty\n",
                     m_scenario.timeline.controlFile.c_str(), content.c_str(),
                     static_cast<int>(m_scenario.cards.size()) - 1);
        std::fflush(stderr);
    }
}

VirtualReader::Placement VirtualReader::timelinePlacementLocked()
{
    const Timeline& t = m_scenario.timeline;
    const auto cards = static_cast<std::int64_t>(m_scenario.cards.size());
    switch (t.mode) {
    case Timeline::Mode::Cycle: {
        if (cards == 0)
            return {};
        std::int64_t e = elapsedMs();
        if (!t.startOn) {
            if (e < t.offMs)
                return {};
            e -= t.offMs;
        }
        const std::int64_t period = t.onMs + t.offMs;
        const std::int64_t slot = e / period;
        if (e % period >= t.onMs)
            return {-1, slot};
        return {static_cast<int>(slot % cards), slot};
    }
    case Timeline::Mode::Manual:
        refreshControlFileLocked();
        return {m_manualCard, m_manualPlacement};
    case Timeline::Mode::Fixed:
        return {t.fixedCard, 0};
    }
    return {};
}

VirtualReader::Placement VirtualReader::placementLocked()
{
    Placement p = timelinePlacementLocked();
    if (p.present() && p.id == m_liftedPlacement)
        p.card = -1;
    return p;
}

bool VirtualReader::vanishedLocked()
{
    const std::int64_t now = elapsedMs();
    bool gone = m_vanishedUntilMs > now;
    const FaultSpec& f = m_scenario.faults[static_cast<int>(Fault::ReaderVanishes)];
    for (std::int64_t at : f.atMs) {
        // An absence that began since the last call unplugged the reader even
        // if no call fell inside it: its ports are closed afterwards.
        if (at > m_lastCallMs && at <= now)
            m_openPorts.clear();
        if (at <= now && now < at + f.durationMs)
            gone = true;
    }
    m_lastCallMs = now;
    if (gone)
        m_openPorts.clear();
    return gone;
}

int VirtualReader::portStatusLocked(int port)
{
    if (!m_attached ||
        std::find(m_scenario.ports.begin(), m_scenario.ports.end(), port) == m_scenario.ports.end())
        return kPortNotAttached;
    if (vanishedLocked())
        return kReaderGone;
    if (!m_openPorts.count(port))
        return kPortNotOpen;
    return 0;
}

bool VirtualReader::fireLocked(Fault fault, int& code)
{
    const FaultSpec& spec = m_scenario.faults[static_cast<int>(fault)];
    FaultState& state = m_faults[static_cast<int>(fault)];
    const std::size_t n = state.calls++;
    switch (spec.trigger) {
    case FaultSpec::Trigger::Sequence: {
        if (spec.sequence.empty())
            return false;
        const std::size_t i = spec.repeat ? n % spec.sequence.size() : n;
        if (i >= spec.sequence.size() || spec.sequence[i] == kNoFault)
            return false;
        code = spec.sequence[i] == kDefaultCode ? spec.code : spec.sequence[i];
        return true;
    }
    case FaultSpec::Trigger::Probability: {
        // 53 random bits as a fraction in [0, 1): the same on every platform
        // for a seed, unlike the standard distributions.
        const double draw = static_cast<double>(state.random() >> 11) * 0x1.0p-53;
        code = spec.code;
        return draw < spec.probability;
    }
    default:
        return false;
    }
}

const RecordedCall* VirtualReader::replayedLocked(std::unique_lock<std::mutex>& lock,
                                                  const char* function, int port)
{
    const RecordedCall* call = m_replay->take(function, port);
    if (!call)
        return nullptr;
    const double micros = static_cast<double>(call->micros) * m_scenario.latencyScale;
    if (micros > 0) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<std::int64_t>(micros)));
        lock.lock();
    }
    return call;
}

namespace {

// Copies recorded bytes into a caller's buffer of `room` bytes.
void copyRecorded(const std::string& bytes, unsigned char* to, std::size_t room)
{
    if (to)
        std::memcpy(to, bytes.data(), std::min(bytes.size(), room));
}

template <typename T> void setRecorded(const std::optional<std::int64_t>& value, T* to)
{
    if (value && to)
        *to = static_cast<T>(*value);
}

} // namespace

int VirtualReader::openPort(int port)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::OpenPort)], port);
        return c ? c->result : kPortNotAttached;
    }
    waitLatency(lock, Call::OpenPort);
    const int status = portStatusLocked(port);
    if (status == kPortNotAttached || status == kReaderGone)
        return status;
    m_openPorts.insert(port);
    return kOk;
}

int VirtualReader::closePort(int port)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::ClosePort)], port);
        return c ? c->result : kPortNotAttached;
    }
    waitLatency(lock, Call::ClosePort);
    const int status = portStatusLocked(port);
    if (status == kPortNotAttached)
        return status;
    m_openPorts.erase(port);
    return kOk;
}

int VirtualReader::getSamId(int port, char* samId)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::GetSamId)], port);
        if (c && c->hasSamId && samId) {
            const std::string id = c->samId.substr(0, 200);
            std::memcpy(samId, id.c_str(), id.size() + 1);
        }
        return c ? c->result : kPortNotAttached;
    }
    waitLatency(lock, Call::GetSamId);
    if (!samId)
        return kBadArgument;
    if (const int status = portStatusLocked(port))
        return status;
    std::memcpy(samId, m_scenario.samId.c_str(), m_scenario.samId.size() + 1);
    return kOk;
}

int VirtualReader::startFindIdCard(int port, unsigned char* manage)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::StartFindIdCard)], port);
        return c ? c->result : kPortNotAttached;
    }
    waitLatency(lock, Call::StartFindIdCard);
    if (!manage)
        return kBadArgument;
    if (const int status = portStatusLocked(port))
        return status;
    int code = 0;
    if (fireLocked(Fault::ReaderVanishes, code)) {
        m_vanishedUntilMs =
            elapsedMs() + m_scenario.faults[static_cast<int>(Fault::ReaderVanishes)].durationMs;
        m_openPorts.clear();
        return kReaderGone;
    }
    if (fireLocked(Fault::FindPortFailure, code))
        return code;
    return placementLocked().present() ? kCardFound : kNoCard;
}

int VirtualReader::selectIdCard(int port, unsigned char* manage)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::SelectIdCard)], port);
        return c ? c->result : kPortNotAttached;
    }
    waitLatency(lock, Call::SelectIdCard);
    if (!manage)
        return kBadArgument;
    if (const int status = portStatusLocked(port))
        return status;
    int code = 0;
    if (fireLocked(Fault::SelectFailure, code))
        return code;
    const Placement p = placementLocked();
    if (!p.present())
        return kNoCard;
    m_cardPlacement = p.id;
    return kOk;
}

int VirtualReader::readBase(int port, unsigned char* text, unsigned int* textLen,
                            unsigned char* photo, unsigned int* photoLen,
                            unsigned char* fingerprint, int* fingerprintLen, bool withFingerprint)
{
    const Call call = withFingerprint ? Call::ReadBaseFpMsg : Call::ReadBaseMsg;
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(call)], port);
        if (!c)
            return kPortNotAttached;
        copyRecorded(c->text, text, kTextBufferSize);
        setRecorded(c->textLen, textLen);
        copyRecorded(c->photo, photo, kPhotoBufferSize);
        setRecorded(c->photoLen, photoLen);
        if (withFingerprint) {
            const std::size_t room =
                fingerprintLen ? static_cast<std::size_t>(std::max(*fingerprintLen, 0)) : 0;
            copyRecorded(c->fingerprint, fingerprint, room);
            setRecorded(c->fpLen, fingerprintLen);
        }
        return c->result;
    }
    if (!text || !textLen || !photo || !photoLen ||
        (withFingerprint && (!fingerprint || !fingerprintLen)))
        return kBadArgument;
    // A closed or absent port fails at once, without the read's latency.
    if (const int status = portStatusLocked(port))
        return status;
    int failCode = 0, leaveCode = 0;
    const bool fail = fireLocked(Fault::ReadFailure, failCode);
    const bool leaves = fireLocked(Fault::CardLeavesDuringRead, leaveCode);
    const Placement before = placementLocked();
    if (leaves && before.present())
        m_liftedPlacement = before.id;
    waitLatency(lock, call);
    if (fail)
        return failCode;
    if (!before.present())
        return kNoCard;
    if (leaves)
        return leaveCode;
    // The card must have stayed for the whole read, and the port open.
    if (const int status = portStatusLocked(port))
        return status;
    const Placement after = placementLocked();
    if (after.id != before.id || after.card != before.card)
        return kCardLeft;
    EnsureImages(m_scenario);
    if (after.card >= static_cast<int>(m_scenario.images.size()))
        return kCardLeft;

    const CardImage& card = m_scenario.images[after.card];
    std::memcpy(text, card.baseText.data(), card.baseText.size());
    *textLen = static_cast<unsigned int>(card.baseText.size());
    std::memcpy(photo, card.photo.data(), card.photo.size());
    *photoLen = static_cast<unsigned int>(card.photo.size());
    int unused = 0;
    if (fireLocked(Fault::PhotoCorrupt, unused)) {
        // Any change of a payload byte breaks the checksum in the header.
        photo[card.photo.size() - 1] ^= 0xFF;
    }
    if (withFingerprint) {
        // The caller says how much its buffer holds; a card without
        // fingerprints answers length 0.
        const std::size_t room = static_cast<std::size_t>(std::max(*fingerprintLen, 0));
        const std::size_t n = std::min(room, card.fingerprint.size());
        if (n > 0)
            std::memcpy(fingerprint, card.fingerprint.data(), n);
        *fingerprintLen = static_cast<int>(n);
    }
    m_cardPlacement = after.id;
    return kOk;
}

int VirtualReader::readNewAppMsg(int port, unsigned char* appMsg, unsigned int* len)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    if (m_replay) {
        m_replayPort = port;
        const RecordedCall* c = replayedLocked(lock, kCallNames[int(Call::ReadNewAppMsg)], port);
        if (!c)
            return kPortNotAttached;
        copyRecorded(c->text, appMsg, kTextBufferSize);
        setRecorded(c->len, len);
        return c->result;
    }
    waitLatency(lock, Call::ReadNewAppMsg);
    if (!appMsg || !len)
        return kBadArgument;
    if (const int status = portStatusLocked(port))
        return status;
    const Placement p = placementLocked();
    if (p.present() && (m_cardPlacement < 0 || p.id == m_cardPlacement)) {
        *len = 0; // the sample cards carry no appended address
        return kOk;
    }
    return kCardLeft;
}

int VirtualReader::wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    std::unique_lock lock(m_mutex);
    ensureLoaded(lock);
    // The decoder depends on no reader: outside a replay, and for a call the
    // recording does not have next, it decodes.
    const RecordedCall* c = m_replay ? replayedLocked(lock, "Wlt2Bmp", m_replayPort) : nullptr;
    if (!c)
        return DecodePhoto(wlt, bmp);
    // The recording holds the bitmap's size, not the bitmap: our own photo
    // (a raw recording of this reader) decodes again; any other photo, a
    // redacted one among them, gives a drawn stand-in.
    if (bmp && c->bitmapSize && *c->bitmapSize == static_cast<std::int64_t>(kBmpFileSize)) {
        std::vector<std::uint8_t> decoded(kBmpFileSize);
        if (!wlt || DecodePhoto(wlt, decoded.data()) != static_cast<int>(kBmpFileSize))
            decoded = BmpFromImage(DrawPortrait(PortraitLook{
                {220, 220, 220}, {200, 170, 150}, {60, 60, 60}, {90, 90, 110}, {240, 240, 240}}));
        std::memcpy(bmp, decoded.data(), decoded.size());
    }
    return c->result;
}

} // namespace termbsim
