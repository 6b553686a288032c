#include "reader/call_recording.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "base/diagnostics.h"
#include "base/files.h"
#include "reader/host_protocol.h"
#include "reader/redaction.h"
#include "reader/termb_functions.h"
#include "reader/termb_loader.h"

#ifndef ZUVI_VERSION
#error "ZUVI_VERSION comes from the project's version in CMake"
#endif

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One call's line: {"call", "port", "args": {...}, "result", "us", "out": {...}}.
class CallLine
{
public:
    CallLine(TermbFunction call, int port) : m_call(call), m_port(port) {}
    CallLine& arg(const char* name, long long value)
    {
        add(m_args, name, std::to_string(value));
        return *this;
    }
    CallLine& out(const char* name, long long value)
    {
        add(m_out, name, std::to_string(value));
        return *this;
    }
    CallLine& outText(const char* name, const std::string& value)
    {
        add(m_out, name, quoted(value));
        return *this;
    }
    CallLine& outBytes(const char* name, const unsigned char* p, std::size_t n)
    {
        static const char digits[] = "0123456789abcdef";
        std::string hex = "\"";
        hex.reserve(2 * n + 2);
        for (std::size_t i = 0; i < n; ++i) {
            hex += digits[p[i] >> 4];
            hex += digits[p[i] & 15];
        }
        add(m_out, name, hex + "\"");
        return *this;
    }
    std::string str(int result, long long micros) const
    {
        return "{\"call\":" + quoted(TermbFunctionName(m_call)) +
               ",\"port\":" + std::to_string(m_port) + ",\"args\":{" + m_args +
               "},\"result\":" + std::to_string(result) + ",\"us\":" + std::to_string(micros) +
               ",\"out\":{" + m_out + "}}";
    }

private:
    static void add(std::string& to, const char* name, const std::string& value)
    {
        if (!to.empty())
            to += ',';
        to += quoted(name) + ":" + value;
    }
    TermbFunction m_call;
    int m_port;
    std::string m_args, m_out;
};

std::size_t bounded(long long length, std::size_t room)
{
    return length <= 0 ? 0 : std::min(static_cast<std::size_t>(length), room);
}

// A bitmap file's size from its header, when the buffer holds one.
std::size_t bitmapSize(const unsigned char* bmp)
{
    if (bmp[0] != 'B' || bmp[1] != 'M')
        return 0;
    const std::size_t size = bmp[2] | bmp[3] << 8 | bmp[4] << 16 | std::size_t(bmp[5]) << 24;
    return size <= kBitmapBufferSize ? size : 0;
}

std::string checksum(const unsigned char* p, std::size_t n)
{
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 16777619u;
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(h));
    return buf;
}

} // namespace

const char* RecordingPlatform()
{
#if defined(_WIN32) && defined(_WIN64)
    return "windows-x86_64";
#elif defined(_WIN32)
    return "windows-x86";
#elif defined(__linux__) && defined(__x86_64__)
    return "linux-x86_64";
#elif defined(__linux__) && defined(__aarch64__)
    return "linux-aarch64";
#elif defined(__linux__)
    return "linux";
#else
    return "unknown";
#endif
}

CallRecording::CallRecording(const std::string& path, const std::string& library, bool raw,
                             FailureFn onFailure)
    : m_path(path), m_raw(raw), m_key(raw ? 0 : NewRedactionKey()),
      m_onFailure(std::move(onFailure))
{
    std::lock_guard lock(m_mutex);
    m_file = OpenFileUtf8(path, "wb");
    if (!m_file) {
        const int error = errno;
        if (m_onFailure)
            m_onFailure("the recording " + path + " could not be created (" + std::strerror(error) +
                        "); the reader calls are not recorded");
        m_onFailure = nullptr;
        return;
    }
    const std::string header =
        std::string("{\"recording\":") + quoted(kRecordingMarker) +
        ",\"format\":" + std::to_string(kRecordingFormat) +
        ",\"program\":" + quoted(std::string("zuviruzozozad ") + ZUVI_VERSION) +
        ",\"platform\":" + quoted(RecordingPlatform()) + ",\"library\":" + quoted(library) +
        ",\"redacted\":" + (raw ? "false" : "true") + "}\n";
    if (std::fputs(header.c_str(), m_file) == EOF || std::fflush(m_file) != 0)
        failLocked(std::strerror(errno));
}

CallRecording::~CallRecording()
{
    std::lock_guard lock(m_mutex);
    if (m_file)
        std::fclose(m_file);
}

bool CallRecording::Writing() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

void CallRecording::WriteLine(const std::string& line)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    // Flushed line by line: a recording ends with the last call made, also
    // when the program ends abruptly.
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() ||
        std::fputc('\n', m_file) == EOF || std::fflush(m_file) != 0)
        failLocked(errno ? std::strerror(errno) : "write error");
}

void CallRecording::failLocked(const std::string& what)
{
    std::fclose(m_file);
    m_file = nullptr;
    if (m_onFailure)
        m_onFailure("the recording " + m_path + " could not be written (" + what +
                    "); recording stopped, the reading goes on");
    m_onFailure = nullptr;
}

struct RecordingTableState
{
    std::shared_ptr<CallRecording> recording;
    TermbApi inner;
    std::atomic<int> lastPort{0}; // Wlt2Bmp has none: the port of the call before
};

namespace {

using Clock = std::chrono::steady_clock;

// As the hosted reader's tables: plain function pointers carry no context,
// so each recording table takes a slot and its functions find their state
// there.
struct Slot
{
    std::mutex mutex;
    std::shared_ptr<RecordingTableState> state;
};
std::array<Slot, kMaxRecordingTables> g_slots;

std::shared_ptr<RecordingTableState> stateAt(int slot)
{
    std::lock_guard lock(g_slots[slot].mutex);
    return g_slots[slot].state;
}

const TermbApi& absent()
{
    static const TermbApi api = AbsentReaderApi();
    return api;
}

// Calls `fn`, then hands the result and its duration to `describe`, which
// adds what the call returned to its line, when the recording still writes.
template <typename Call, typename Describe>
int recorded(RecordingTableState& state, TermbFunction function, int port, Call call,
             Describe describe)
{
    const Clock::time_point start = Clock::now();
    const int result = call();
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    CallRecording& recording = *state.recording;
    if (!recording.Writing())
        return result;
    try {
        CallLine line(function, port);
        describe(line, result);
        recording.WriteLine(line.str(result, micros));
    } catch (...) {
        // No memory for the line: the reading matters more than its record.
    }
    return result;
}

template <int S> int TERMB_CALL openPort(int port)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_OpenPort(port);
    st->lastPort = port;
    return recorded(
        *st, TermbFunction::OpenPort, port, [&] { return st->inner.SDT_OpenPort(port); },
        [](CallLine&, int) {});
}

template <int S> int TERMB_CALL closePort(int port)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_ClosePort(port);
    st->lastPort = port;
    return recorded(
        *st, TermbFunction::ClosePort, port, [&] { return st->inner.SDT_ClosePort(port); },
        [](CallLine&, int) {});
}

// The security module's number names the reader, not the card's holder: it
// is kept in every recording.
template <int S> int TERMB_CALL getSamId(int port, char* samId, int ifOpen)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_GetSAMIDToStr(port, samId, ifOpen);
    st->lastPort = port;
    return recorded(
        *st, TermbFunction::GetSAMIDToStr, port,
        [&] { return st->inner.SDT_GetSAMIDToStr(port, samId, ifOpen); },
        [&](CallLine& line, int) {
            line.arg("if_open", ifOpen);
            if (samId)
                line.outText("sam_id", std::string(samId, strnlen(samId, kHostSamIdSize)));
        });
}

// The management buffer is the library's own business; the tool never reads
// it, and it is not recorded.
template <int S, TermbFunction F>
int TERMB_CALL manageCall(int port, unsigned char* manage, int ifOpen)
{
    const auto st = stateAt(S);
    const bool find = F == TermbFunction::StartFindIDCard;
    const TermbApi& to = st ? st->inner : absent();
    const auto fn = find ? to.SDT_StartFindIDCard : to.SDT_SelectIDCard;
    if (!st)
        return fn(port, manage, ifOpen);
    st->lastPort = port;
    return recorded(
        *st, F, port, [&] { return fn(port, manage, ifOpen); },
        [&](CallLine& line, int) { line.arg("if_open", ifOpen); });
}

// What a base read returned, redacted unless the recording is raw.
void describeRead(CallLine& line, const CallRecording& recording, const unsigned char* text,
                  const unsigned* textLen, const unsigned char* photo, const unsigned* photoLen)
{
    if (textLen) {
        line.out("text_len", *textLen);
        if (text) {
            std::string copy(reinterpret_cast<const char*>(text),
                             bounded(*textLen, kTextBufferSize));
            auto* p = reinterpret_cast<unsigned char*>(copy.data());
            if (!recording.Raw())
                RedactBaseText(p, copy.size(), recording.RedactionKey());
            line.outBytes("text", p, copy.size());
        }
    }
    if (photoLen) {
        line.out("photo_len", *photoLen);
        if (photo) {
            std::string copy(reinterpret_cast<const char*>(photo),
                             bounded(*photoLen, kPhotoBufferSize));
            auto* p = reinterpret_cast<unsigned char*>(copy.data());
            if (!recording.Raw())
                RedactPhoto(p, copy.size());
            line.outBytes("photo", p, copy.size());
        }
    }
}

template <int S>
int TERMB_CALL readBase(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                        unsigned* photoLen, int ifOpen)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_ReadBaseMsg(port, text, textLen, photo, photoLen, ifOpen);
    st->lastPort = port;
    const long long textRoom = textLen ? *textLen : -1, photoRoom = photoLen ? *photoLen : -1;
    return recorded(
        *st, TermbFunction::ReadBaseMsg, port,
        [&] { return st->inner.SDT_ReadBaseMsg(port, text, textLen, photo, photoLen, ifOpen); },
        [&](CallLine& line, int) {
            line.arg("text_len", textRoom).arg("photo_len", photoRoom).arg("if_open", ifOpen);
            describeRead(line, *st->recording, text, textLen, photo, photoLen);
        });
}

template <int S>
int TERMB_CALL readBaseFP(int port, unsigned char* text, unsigned* textLen, unsigned char* photo,
                          unsigned* photoLen, unsigned char* fp, int* fpLen, int ifOpen)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_ReadBaseFPMsg(port, text, textLen, photo, photoLen, fp, fpLen, ifOpen);
    st->lastPort = port;
    const long long textRoom = textLen ? *textLen : -1, photoRoom = photoLen ? *photoLen : -1;
    const long long fpRoom = fpLen ? *fpLen : -1;
    return recorded(
        *st, TermbFunction::ReadBaseFPMsg, port,
        [&] {
            return st->inner.SDT_ReadBaseFPMsg(port, text, textLen, photo, photoLen, fp, fpLen,
                                               ifOpen);
        },
        [&](CallLine& line, int) {
            line.arg("text_len", textRoom)
                .arg("photo_len", photoRoom)
                .arg("fp_len", fpRoom)
                .arg("if_open", ifOpen);
            const CallRecording& recording = *st->recording;
            describeRead(line, recording, text, textLen, photo, photoLen);
            if (fpLen) {
                line.out("fp_len", *fpLen);
                if (fp) {
                    std::string copy(reinterpret_cast<const char*>(fp),
                                     bounded(*fpLen, kHostFingerprintSize));
                    auto* p = reinterpret_cast<unsigned char*>(copy.data());
                    if (!recording.Raw())
                        RedactFingerprint(p, copy.size(), recording.RedactionKey());
                    line.outBytes("fingerprint", p, copy.size());
                }
            }
        });
}

// The appended address is the holder's address: redacted as text.
template <int S> int TERMB_CALL readAppMsg(int port, unsigned char* msg, unsigned* len, int ifOpen)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().SDT_ReadNewAppMsg(port, msg, len, ifOpen);
    st->lastPort = port;
    const long long room = len ? *len : -1;
    return recorded(
        *st, TermbFunction::ReadNewAppMsg, port,
        [&] { return st->inner.SDT_ReadNewAppMsg(port, msg, len, ifOpen); },
        [&](CallLine& line, int) {
            line.arg("len", room).arg("if_open", ifOpen);
            if (!len)
                return;
            line.out("len", *len);
            if (msg) {
                std::string copy(reinterpret_cast<const char*>(msg),
                                 bounded(*len, kTextBufferSize));
                auto* p = reinterpret_cast<unsigned char*>(copy.data());
                if (!st->recording->Raw())
                    RedactUcs2Text(p, copy.size(), st->recording->RedactionKey());
                line.outBytes("text", p, copy.size());
            }
        });
}

// The photo it converts is in the read's line already; the bitmap is
// described by its size and, in a raw recording, its checksum (FNV-1a).
template <int S> int TERMB_CALL wlt2Bmp(unsigned char* wlt, unsigned char* bmp)
{
    const auto st = stateAt(S);
    if (!st)
        return absent().Wlt2Bmp(wlt, bmp);
    return recorded(
        *st, TermbFunction::Wlt2Bmp, st->lastPort, [&] { return st->inner.Wlt2Bmp(wlt, bmp); },
        [&](CallLine& line, int) {
            const std::size_t size = bmp ? bitmapSize(bmp) : 0;
            line.out("bitmap_size", static_cast<long long>(size));
            if (size && st->recording->Raw())
                line.outText("bitmap_fnv1a", checksum(bmp, size));
        });
}

template <int S> TermbApi tableOf()
{
    TermbApi api;
    api.SDT_OpenPort = openPort<S>;
    api.SDT_ClosePort = closePort<S>;
    api.SDT_GetSAMIDToStr = getSamId<S>;
    api.SDT_StartFindIDCard = manageCall<S, TermbFunction::StartFindIDCard>;
    api.SDT_SelectIDCard = manageCall<S, TermbFunction::SelectIDCard>;
    api.SDT_ReadBaseMsg = readBase<S>;
    api.SDT_ReadBaseFPMsg = readBaseFP<S>;
    api.SDT_ReadNewAppMsg = readAppMsg<S>;
    api.Wlt2Bmp = wlt2Bmp<S>;
    return api;
}

template <std::size_t... I> std::array<TermbApi, sizeof...(I)> tablesFor(std::index_sequence<I...>)
{
    return {tableOf<static_cast<int>(I)>()...};
}

const std::array<TermbApi, kMaxRecordingTables>& tables()
{
    static const auto all = tablesFor(std::make_index_sequence<kMaxRecordingTables>{});
    return all;
}

} // namespace

RecordingTable::RecordingTable(std::shared_ptr<CallRecording> recording, const TermbApi& inner)
    : m_api(inner)
{
    auto state = std::make_shared<RecordingTableState>();
    state->recording = std::move(recording);
    state->inner = inner;
    for (int i = 0; i < kMaxRecordingTables; ++i) {
        std::lock_guard lock(g_slots[i].mutex);
        if (!g_slots[i].state) {
            g_slots[i].state = state;
            m_slot = i;
            m_api = tables()[i];
            return;
        }
    }
}

RecordingTable::~RecordingTable()
{
    if (m_slot >= 0) {
        std::lock_guard lock(g_slots[m_slot].mutex);
        g_slots[m_slot].state.reset();
    }
}

TermbApi UnrecordedApi(const TermbApi& api)
{
    for (int i = 0; i < kMaxRecordingTables; ++i) {
        if (tables()[i].SDT_OpenPort != api.SDT_OpenPort)
            continue;
        if (const auto state = stateAt(i))
            return state->inner;
    }
    return api;
}

void RecordLibraryCalls(TermbLibrary& lib, std::shared_ptr<CallRecording> recording)
{
    auto table = std::make_shared<RecordingTable>(std::move(recording), lib.api);
    lib.api = table->Api();
    lib.recording = std::move(table);
}

void RecordCallsFromEnvironment(TermbLibrary& lib)
{
    const std::string file = EnvironmentUtf8("TERMB_RECORD");
    if (file.empty() || !lib.loaded)
        return;
    const bool raw = EnvironmentUtf8("TERMB_RECORD_RAW") == "1";
    if (raw)
        ReportDiagnostic(DiagArea::Library, "the recording " + file +
                                                " keeps the cards' personal data as read "
                                                "(TERMB_RECORD_RAW=1)");
    RecordLibraryCalls(
        lib, std::make_shared<CallRecording>(file, lib.path, raw, [](const std::string& message) {
            ReportDiagnostic(DiagArea::Library, message);
        }));
}
