#include "sim/replay.h"

#include "sim/scenario.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace termbsim {

namespace {

using nlohmann::json;

// The recorder's header names the recording by this text and its format.
constexpr const char* kMarker = "zuviruzozozad reader calls";
constexpr int kFormat = 1;

struct LineError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

std::string bytesFromHex(const json& value, const char* key)
{
    if (!value.is_string())
        throw LineError(std::string(key) + " must be hexadecimal text");
    const std::string& hex = value.get_ref<const std::string&>();
    if (hex.size() % 2)
        throw LineError(std::string(key) + " has an odd number of digits");
    auto digit = [&](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw LineError(std::string(key) + " holds a character that is no hexadecimal digit");
    };
    std::string out(hex.size() / 2, '\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
    return out;
}

std::int64_t whole(const json& object, const char* key)
{
    const json& value = object.at(key);
    if (!value.is_number_integer())
        throw LineError(std::string(key) + " must be a whole number");
    return value.get<std::int64_t>();
}

std::optional<std::int64_t> optionalWhole(const json& object, const char* key)
{
    if (!object.contains(key))
        return std::nullopt;
    return whole(object, key);
}

RecordedCall callFrom(const json& line)
{
    if (!line.is_object() || !line.contains("call") || !line["call"].is_string())
        throw LineError("not a recorded call");
    RecordedCall c;
    c.function = line["call"].get<std::string>();
    c.port = static_cast<int>(whole(line, "port"));
    c.result = static_cast<int>(whole(line, "result"));
    c.micros = line.contains("us") ? whole(line, "us") : 0;
    if (c.micros < 0)
        throw LineError("us must not be negative");
    const json out = line.value("out", json::object());
    if (!out.is_object())
        throw LineError("out must be an object");
    c.textLen = optionalWhole(out, "text_len");
    c.photoLen = optionalWhole(out, "photo_len");
    c.fpLen = optionalWhole(out, "fp_len");
    c.len = optionalWhole(out, "len");
    c.bitmapSize = optionalWhole(out, "bitmap_size");
    if (out.contains("text"))
        c.text = bytesFromHex(out["text"], "text");
    if (out.contains("photo"))
        c.photo = bytesFromHex(out["photo"], "photo");
    if (out.contains("fingerprint"))
        c.fingerprint = bytesFromHex(out["fingerprint"], "fingerprint");
    if (out.contains("sam_id")) {
        if (!out["sam_id"].is_string())
            throw LineError("sam_id must be text");
        c.samId = out["sam_id"].get<std::string>();
        c.hasSamId = true;
    }
    return c;
}

json header(const std::string& line)
{
    const json h = json::parse(line, nullptr, false);
    return h.is_object() && h.value("recording", "") == kMarker ? h : json();
}

} // namespace

bool IsRecording(const std::string& content)
{
    return !header(content.substr(0, content.find('\n'))).is_null();
}

bool ParseRecording(const std::string& content, Recording& recording, std::string& error)
{
    std::istringstream in(content);
    std::string line;
    std::getline(in, line);
    const json h = header(line);
    if (h.is_null()) {
        error = "line 1: not the header of a recording";
        return false;
    }
    if (h.value("format", 0) != kFormat) {
        error = "line 1: format " + h.value("format", json()).dump() + ", this reader plays " +
                std::to_string(kFormat);
        return false;
    }
    Recording r;
    r.library = h.value("library", "");
    r.redacted = h.value("redacted", true);
    for (std::size_t number = 2; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        try {
            r.calls.push_back(callFrom(json::parse(line)));
        } catch (const std::exception& e) {
            // A recording cut off in the middle of its last line (the
            // program ended as it wrote) plays up to that line.
            if (in.peek() == EOF && !content.empty() && content.back() != '\n')
                break;
            error = "line " + std::to_string(number) + ": " + e.what();
            return false;
        }
    }
    recording = std::move(r);
    return true;
}

bool LoadRecordingFile(const std::string& path, Recording& recording, std::string& error)
{
    std::string content;
    if (!ReadFileText(path, content)) {
        error = "cannot be read";
        return false;
    }
    if (!ParseRecording(content, recording, error))
        return false;
    recording.source = path;
    return true;
}

const RecordedCall* Replay::take(const char* function, int port)
{
    const std::vector<RecordedCall>& calls = m_recording.calls;
    std::size_t& next = m_next[port];
    while (next < calls.size() && calls[next].port != port)
        ++next;
    if (next < calls.size()) {
        if (calls[next].function == function)
            return &calls[next++];
        if (!m_mismatchSaid) {
            m_mismatchSaid = true;
            std::fprintf(stderr,
                         "termb_virtual: replay of %s: call %zu is %s on port %d, the recording "
                         "has %s on port %d; answered as a reader that is not there\n",
                         m_recording.source.c_str(), next + 1, function, port,
                         calls[next].function.c_str(), port);
            std::fflush(stderr);
        }
        return nullptr;
    }
    if (!m_endSaid) {
        m_endSaid = true;
        std::fprintf(stderr,
                     "termb_virtual: replay of %s: all recorded calls on port %d are played; %s "
                     "and every later call answered as a reader that is not there\n",
                     m_recording.source.c_str(), port, function);
        std::fflush(stderr);
    }
    return nullptr;
}

} // namespace termbsim
