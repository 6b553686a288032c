#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/text.h"
#include "cli/timed_termb.h"
#include "state/shared_state.h"

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// auto, usb, COMn or n.
bool parsePort(std::string text, std::int32_t& port)
{
    text = lower(text);
    if (text == "auto") {
        port = kAutoPort;
        return true;
    }
    if (text == "usb") {
        port = kUsbPort;
        return true;
    }
    if (text.rfind("com", 0) == 0)
        text.erase(0, 3);
    return ParseInt32(text, port) && port > 0;
}

// One port, or a comma-separated list of several readers' ports, each
// named once; a search (auto) finds one reader, so it stands alone.
std::string parsePorts(const std::string& text, std::vector<std::int32_t>& ports)
{
    ports.clear();
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma - from);
        std::int32_t port = 0;
        if (!parsePort(item, port))
            return "--port wants auto, usb or a serial port number, not '" + item + "'";
        if (std::find(ports.begin(), ports.end(), port) != ports.end())
            return "--port names port '" + item + "' twice";
        ports.push_back(port);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (ports.size() > 1 && std::find(ports.begin(), ports.end(), kAutoPort) != ports.end())
        return "--port auto searches for one reader; name each port of several readers";
    if (ports.size() > std::size_t(kMaxTimedTables))
        return "--port names " + std::to_string(ports.size()) + " readers; at most " +
               std::to_string(kMaxTimedTables) + " are read at once";
    return {};
}

bool parseSeconds(const std::string& text, double& seconds)
{
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && seconds >= kMinDurationSeconds &&
           seconds <= kMaxDurationSeconds;
}

} // namespace

std::string ParseOptions(const std::vector<std::string>& args, Options& options)
{
    int modes = 0;
    bool durationGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        const bool takesValue = name == "--port" || name == "--repeat" || name == "--duration" ||
                                name == "--library" || name == "--report" || name == "--record";
        if (takesValue && !value) {
            if (i + 1 == args.size())
                return name + " needs a value";
            value = args[++i];
        } else if (!takesValue && value) {
            return name + " takes no value";
        }

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--in-process") {
            options.inProcess = true;
        } else if (name == "--once") {
            options.mode = RunMode::Once;
            ++modes;
        } else if (name == "--continuous") {
            options.mode = RunMode::Continuous;
            ++modes;
        } else if (name == "--repeat") {
            std::int32_t n = 0;
            if (!ParseInt32(*value, n) || n < 1)
                return "--repeat wants a number of passes of at least 1, not '" + *value + "'";
            options.mode = RunMode::Repeat;
            options.repeat = n;
            ++modes;
        } else if (name == "--duration") {
            if (!parseSeconds(*value, options.durationSeconds))
                return "--duration wants a number of seconds from 0.001 to 1000000000, not '" +
                       *value + "'";
            durationGiven = true;
        } else if (name == "--port") {
            if (std::string error = parsePorts(*value, options.ports); !error.empty())
                return error;
        } else if (name == "--library") {
            if (value->empty())
                return "--library wants a file name";
            options.library = *value;
        } else if (name == "--report") {
            if (value->empty())
                return "--report wants a file name";
            options.report = *value;
        } else if (name == "--record") {
            if (value->empty())
                return "--record wants a file name";
            options.record = *value;
        } else if (name == "--record-raw") {
            options.recordRaw = true;
        } else {
            return "unknown argument '" + args[i] + "'";
        }
    }
    if (modes > 1)
        return "choose one of --once, --repeat N and --continuous";
    if (durationGiven && options.mode != RunMode::Continuous)
        return "--duration goes with --continuous";
    // The library keeps one open port per instance, and in this program
    // there is only one instance of it.
    if (options.inProcess && options.ports.size() > 1)
        return "--in-process reads one reader; several readers each need a reader host";
    if (options.recordRaw && options.record.empty())
        return "--record-raw goes with --record FILE";
    return {};
}

const char* UsageText()
{
    return R"(Usage: zuviruzozozad-cli [--once | --repeat N | --continuous [--duration SECONDS]]
                          [--port auto|usb|N[,N...]] [--library PATH|virtual]
                          [--in-process] [--json] [--report FILE.html]
                          [--record FILE [--record-raw]]

Reads resident identity cards, foreign permanent resident cards and residence
permits through the reader library, without a window; each card is printed
with its kind and the fields of that kind.

  --once            find the reader, read the card on it, print it (default)
  --repeat N        N read passes on the card lying on the reader, back to back
  --continuous      read each card placed on the reader once, until Ctrl-C
  --duration S      end continuous reading after S seconds (0.001 to 1e9)
  --port P          auto (search), usb, or serial port N (COMn); default: Port
                    in config.ini beside the program, else auto; a list
                    (1001,1002,COM3: USB readers are 1001 on) reads up to 8
                    readers at once, each in a reader host of its own
  --library PATH    use this reader library file instead of the usual search
                    (TERMB_LIBRARY, then libtermb.so or termb.dll beside the
                    program, then the system's library path)
  --library virtual use the virtual reader that comes with the tool (beside
                    the program, or where the package installs it) and its
                    fictional cards; unasked, the program never falls back
                    to it
  --in-process      load the library into this program; by default it runs
                    in a reader host, a process of its own, so that a call
                    that crashes or hangs (ReaderCallTimeout in config.ini,
                    milliseconds, default 10000) fails instead of the program
  --record FILE     write every reader call to FILE, one JSON line each, for
                    the virtual reader to play back (TERMB_VIRTUAL_SCENARIO);
                    names, numbers, address, authority, photo and fingerprint
                    data are replaced by fictional values of the same shape
  --record-raw      keep them as read: the recording is then personal data
  --json            one JSON object per line: device, card, card_gone,
                    failure, and a closing summary; with several readers
                    every line has "port", each reader gets a summary, and
                    the last one (port null) is the total
  --report FILE     also write the run as one HTML page: summary per reader,
                    durations, and the failures over time
  -h, --help        this text

Exit status: 0 success (also continuous reading ended by Ctrl-C), 2 no reader
found, 3 no card or a failed read, 4 the reader library could not be loaded,
5 the run ended on a library call that crashed or hung its reader host
(failure library_crashed or library_hung), 64 bad usage, 74 standard output
could not be written, 130 --once or --repeat interrupted before all its
passes were made. With several readers: the worst of the readers' statuses,
in the order 0, 3, 2, 5, 4, 130, 74 (from best to worst).
)";
}
