#pragma once
// Recordings of reader calls played back: each port's calls in the order
// recorded, each with its result, what it returned and its duration. A
// recording of several readers read at once is played by one library
// instance per reader, as it was made: each instance plays the calls of the
// ports it is asked about and passes over the others'. A call that is not
// its port's next one recorded (another function) answers as a reader that
// is not there, and the recording stays where it was.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace termbsim {

struct RecordedCall
{
    std::string function; // the library's name, e.g. "SDT_ReadBaseMsg"
    int port = 0;         // Wlt2Bmp: the port of the call before it
    int result = 0;
    std::int64_t micros = 0;
    // What the call returned; a value the call does not have is absent.
    std::optional<std::int64_t> textLen, photoLen, fpLen, len, bitmapSize;
    std::string text, photo, fingerprint, samId; // bytes
    bool hasSamId = false;
};

struct Recording
{
    std::string source; // the file
    std::string library;
    bool redacted = true;
    std::vector<RecordedCall> calls;
};

// Whether `content` begins with a recording's header line.
bool IsRecording(const std::string& content);

// Parses a whole recording. False and a one-line reason naming the line on
// any problem.
bool ParseRecording(const std::string& content, Recording& recording, std::string& error);

// Reads and parses the file.
bool LoadRecordingFile(const std::string& path, Recording& recording, std::string& error);

// A recording being played: the next call, and what was said of it.
class Replay
{
public:
    explicit Replay(Recording recording) : m_recording(std::move(recording)) {}

    // The next recorded call on `port` when it is `function`, which is then
    // used up; otherwise none, said once on standard error for the first
    // call that differs and once when the port's calls have run out.
    const RecordedCall* take(const char* function, int port);
    const Recording& recording() const { return m_recording; }

private:
    Recording m_recording;
    std::map<int, std::size_t> m_next; // by port: where to look for its next call
    bool m_mismatchSaid = false;
    bool m_endSaid = false;
};

} // namespace termbsim
