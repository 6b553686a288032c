// The console program as a script runs it: a copy of the built program in a
// directory of its own (its config.ini and photo files go there), the virtual
// reader at zero latency, the output parsed as JSON Lines.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "../temp_dir.h"
#include "sim/cards.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kZeroLatency = R"("latency_scale": 0, "ports": [1001])";

struct CliRun
{
    int exitCode = -1;
    std::string out, err;

    std::vector<json> events() const
    {
        std::vector<json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(json::parse(line));
        return lines;
    }
    std::vector<json> events(const std::string& kind) const
    {
        std::vector<json> found;
        for (const json& e : events())
            if (e["event"] == kind)
                found.push_back(e);
        return found;
    }
};

class CliTest : public ::testing::Test
{
protected:
    CliTest()
    {
        std::filesystem::copy_file(CLI_PROGRAM, m_program);
        std::filesystem::permissions(m_program, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
        std::filesystem::copy_file(VIRTUAL_READER, m_dir.file("libtermb_virtual.so"));
        std::filesystem::copy_file(READER_HOST, m_dir.file("zuviruzozozad-reader-host"));
        setenv("HOSTILE_TERMB_CONTROL", m_dir.file("control").c_str(), 1);
    }
    ~CliTest() override { unsetenv("HOSTILE_TERMB_CONTROL"); }

    // Starts the program with the scenario whose keys are `scenario` (added
    // to zero latency and a USB reader); `whileRunning` gets its process id.
    CliRun run(const std::vector<std::string>& args, const std::string& scenario,
               const std::function<void(pid_t)>& whileRunning = {})
    {
        m_dir.write("scenario.json", !m_scenarioText.empty()
                                         ? m_scenarioText
                                         : std::string("{") + m_base +
                                               (scenario.empty() ? "" : ", " + scenario) + "}");
        std::filesystem::remove(m_dir.file("out"));
        const pid_t pid = fork();
        if (pid == 0) {
            if (m_termbLibrary)
                setenv("TERMB_LIBRARY", m_termbLibrary, 1);
            else
                unsetenv("TERMB_LIBRARY");
            setenv("TERMB_VIRTUAL_SCENARIO", m_dir.file("scenario.json").c_str(), 1);
            setenv("ZUVI_SERIAL_PORTS", "", 1);
            if (chdir(m_dir.path().c_str()) != 0 ||
                !freopen(m_dir.file("err").c_str(), "w", stderr))
                _exit(126);
            if (m_stdout == "closed")
                close(1);
            else if (!freopen(m_stdout.empty() ? m_dir.file("out").c_str() : m_stdout.c_str(), "w",
                              stdout))
                _exit(126);
            std::vector<char*> argv{m_program.data()};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(m_program.c_str(), argv.data());
            _exit(127);
        }
        if (whileRunning)
            whileRunning(pid);
        int status = 0;
        waitpid(pid, &status, 0);
        CliRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = m_stdout.empty() ? m_dir.read("out") : "";
        r.err = m_dir.read("err");
        return r;
    }

    // Waits until the running program has printed `text`.
    bool printed(const std::string& text)
    {
        for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(10ms))
            if (m_dir.read("out").find(text) != std::string::npos)
                return true;
        return false;
    }

    TempDir m_dir; // also the working directory of every run
    std::string m_program = m_dir.file("zuviruzozozad-cli"); // the virtual reader beside it
    const char* m_termbLibrary = VIRTUAL_READER;             // null: TERMB_LIBRARY unset
    std::string m_stdout;              // empty: the file "out"; a file to write to; "closed"
    std::string m_base = kZeroLatency; // the scenario's keys every run gets
    std::string m_scenarioText;        // the whole scenario file instead of run()'s keys
};

// Whether `html` fetches nothing and runs nothing: no script, and every
// src= or href= points into the page itself.
bool selfContained(const std::string& html)
{
    if (html.find("<script") != std::string::npos || html.find("@import") != std::string::npos ||
        html.find("url(") != std::string::npos)
        return false;
    for (const char* attribute : {"src=", "href="})
        for (auto at = html.find(attribute); at != std::string::npos;
             at = html.find(attribute, at + 1)) {
            const std::string value = html.substr(at + std::strlen(attribute), 6);
            if (value.rfind("\"#", 0) != 0 && value.rfind("\"data:", 0) != 0)
                return false;
        }
    return true;
}

TEST_F(CliTest, ExitCodesSayWhatHappenedInOneLine)
{
    const std::string card = R"("timeline": {"mode": "fixed", "card": 0})";
    const char* here = "libtermb_virtual.so"; // the copy beside the program, named alone
    struct Case
    {
        const char* what;
        std::vector<std::string> args;
        std::string scenario;
        std::string config;
        int exitCode;
        const char* failure = nullptr; // the kind of the run's one failure
        const char* termbLibrary = VIRTUAL_READER;
        const char* hostile = ""; // what the hostile library is told
    };
    const Case cases[] = {
        {"a card read", {"--json"}, card, "", 0},
        {"no library", {"--json", "--library", m_dir.file("none.so")}, card, "", 4, "library"},
        {"no library found, never the virtual reader", {"--json"}, card, "", 4, "library", nullptr},
        {"the virtual reader asked for", {"--json", "--library", "virtual"}, card, "", 0, {}, {}},
        {"--library in the working directory", {"--json", "--library", here}, card, "", 0},
        {"TERMB_LIBRARY in the working directory", {"--json"}, card, "", 0, {}, here},
        {"no reader", {"--json"}, R"("ports": [])", "", 2, "no_reader"},
        {"no card", {"--json"}, R"("timeline": {"mode": "fixed", "card": null})", "", 3, "no_card"},
        {"fixed port from config.ini", {"--json"}, card, "[Config]\nPort=5\n", 2, "no_reader"},
        {"--port overrides config.ini", {"--json", "--port", "usb"}, card, "[Config]\nPort=5\n", 0},
        {"zero passes", {"--repeat", "0"}, card, "", 64},
        {"beyond the clock", {"--continuous", "--duration", "1e10"}, card, "", 64},
        {"below a millisecond", {"--continuous", "--duration", "1e-300"}, card, "", 64},
        {"two modes", {"--once", "--continuous"}, card, "", 64},
        {"duration without continuous", {"--duration", "1"}, card, "", 64},
        {"unknown option", {"--fast"}, card, "", 64},
        {"bad port", {"--port", "COMX"}, card, "", 64},
        {"a raw recording of nothing", {"--record-raw"}, card, "", 64},
        {"a port named twice", {"--port", "1001,usb"}, card, "", 64},
        {"an empty port in a list", {"--port", "1001,"}, card, "", 64},
        {"a search among several", {"--port", "auto,1002"}, card, "", 64},
        {"more readers than hosts", {"--port", "1,2,3,4,5,6,7,8,9"}, card, "", 64},
        {"several readers in process", {"--in-process", "--port", "1001,2"}, card, "", 64},
        {"a library that crashes",
         {"--json"},
         card,
         "",
         5,
         "library_crashed",
         HOSTILE_TERMB,
         "SDT_ReadBaseFPMsg null"},
        // Recorded: the fault still reaches the run through the recording table.
        {"a library that crashes, recorded",
         {"--json", "--record", "calls.jsonl"},
         card,
         "",
         5,
         "library_crashed",
         HOSTILE_TERMB,
         "SDT_ReadBaseFPMsg null"},
        {"a library that writes past its buffers",
         {"--json"},
         card,
         "",
         5,
         "library_crashed",
         HOSTILE_TERMB,
         "SDT_ReadBaseFPMsg overrun"},
        {"a library that hangs",
         {"--json"},
         card,
         "[Config]\nReaderCallTimeout=300\n",
         5,
         "library_hung",
         HOSTILE_TERMB,
         "SDT_ReadBaseFPMsg hang"},
        {"that library behaving", {"--json"}, card, "", 0, {}, HOSTILE_TERMB, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_dir.write("config.ini", c.config);
        m_termbLibrary = c.termbLibrary;
        m_dir.write("control", c.hostile);
        const CliRun r = run(c.args, c.scenario);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(r.err.rfind("zuviruzozozad-cli: ", 0), 0u) << r.err;
        }
        if (c.exitCode != 64) {
            const json last = r.events().back();
            EXPECT_EQ(last["event"], "summary");
            EXPECT_EQ(last["exit_code"], c.exitCode);
            // The one failure, by its kind, and the summary's count of each kind.
            const auto failures = r.events("failure");
            ASSERT_EQ(failures.size(), c.failure ? 1u : 0u);
            for (const auto& [kind, count] : last["failures"].items()) {
                EXPECT_EQ(count, c.failure && kind == c.failure ? 1 : 0) << kind;
            }
            if (c.failure) {
                EXPECT_EQ(failures[0]["kind"], c.failure);
            }
            if (*c.hostile) {
                EXPECT_EQ(failures.at(0)["call"], "SDT_ReadBaseFPMsg");
            }
        }
    }
}

// Hosted, a repeated run goes on past a crash, each pass in a fresh host;
// in process, the crash takes the program with it.
TEST_F(CliTest, ACrashEndsThePassHostedAndTheProgramInProcess)
{
    m_termbLibrary = HOSTILE_TERMB;
    m_dir.write("control", "SDT_ReadBaseFPMsg abort");
    const CliRun hosted = run({"--json", "--repeat", "3"}, "");
    EXPECT_EQ(hosted.exitCode, 5) << hosted.err;
    EXPECT_EQ(hosted.events("failure").size(), 3u);
    EXPECT_EQ(hosted.events("device").size(), 3u); // the reader opened anew each pass
    EXPECT_EQ(hosted.events().back()["failures"]["library_crashed"], 3);
    const CliRun inProcess = run({"--json", "--in-process"}, "");
    EXPECT_EQ(inProcess.exitCode, 128 + SIGABRT);
}

TEST_F(CliTest, OnceReadsEveryFieldAndWritesThePhotos)
{
    const termbsim::CardFields& expected = termbsim::BuiltinCards()[2].fields;
    const CliRun r = run({"--once", "--json"}, R"("timeline": {"mode": "fixed", "card": 2})");
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const auto device = r.events("device");
    ASSERT_EQ(device.size(), 1u);
    EXPECT_EQ(device[0]["port"], 1001);
    EXPECT_EQ(device[0]["sam_id"], "05.01-20261209-0000000001-3915022118");
    EXPECT_EQ(device[0]["virtual"], true);

    const auto cards = r.events("card");
    ASSERT_EQ(cards.size(), 1u);
    const json& card = cards[0];
    EXPECT_EQ(card["kind"], "id");
    EXPECT_EQ(card["number"], expected.idNumber);
    EXPECT_EQ(card["name"], expected.name);
    EXPECT_EQ(card["address"], expected.address); // 35 characters, fills the field
    EXPECT_EQ(card["id_number"], expected.idNumber);
    EXPECT_EQ(card["check_department"], expected.authority);
    EXPECT_EQ(card["birthday"], expected.birth);
    EXPECT_EQ(card["nation"], "基诺族");
    EXPECT_EQ(card["sex"], "女");
    EXPECT_EQ(card["fingerprint_length"], 1024);
    EXPECT_EQ(card["photo_bmp"], m_dir.file("zp.bmp"));
    EXPECT_EQ(card["photo_wlt"], m_dir.file("zp.wlt"));
    EXPECT_EQ(m_dir.read("zp.bmp").size(), 38862u);
    // The whole pass: discovery, then find, select, read with fingerprint, photo.
    std::vector<std::string> calls;
    for (const json& c : card["calls"])
        calls.push_back(c["call"]);
    EXPECT_EQ(calls, (std::vector<std::string>{"SDT_ClosePort", "SDT_OpenPort", "SDT_GetSAMIDToStr",
                                               "SDT_StartFindIDCard", "SDT_SelectIDCard",
                                               "SDT_ReadBaseFPMsg", "Wlt2Bmp"}));

    const CliRun text = run({}, R"("timeline": {"mode": "fixed", "card": 2})");
    EXPECT_NE(text.out.find(expected.name), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Summary: 1 passes, 1 cards, no failures"), std::string::npos);
}

TEST_F(CliTest, EachKindOfCardIsReportedWithItsOwnFields)
{
    const auto& builtin = termbsim::BuiltinCards();
    struct Case
    {
        const char* card; // built-in card key
        const char* kind;
        const char* kindName; // in the text output
        std::map<std::string, std::string> fields;
    };
    const Case cases[] = {
        {"foreign-usa",
         "foreign",
         "外国人永久居留身份证",
         {{"english_name", "SAMPLE JOHN"},
          {"nationality", "美国"},
          {"card_number", "USA998503150001"},
          {"number", "USA998503150001"}}},
        {"permit-hong-kong",
         "permit",
         "港澳台居民居住证",
         {{"name", "陈示例"}, {"region", "香港"}, {"pass_number", "H99000001"}}},
        {"foreign-2023",
         "foreign-2023",
         "外国人永久居留身份证（2023年版）",
         {{"note", "此类证件的版式暂不支持"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.card);
        const auto spec =
            std::find_if(builtin.begin(), builtin.end(),
                         [&](const termbsim::CardSpec& s) { return s.key == c.card; });
        ASSERT_NE(spec, builtin.end());
        const std::string scenario = R"("timeline": {"mode": "fixed", "card": )" +
                                     std::to_string(spec - builtin.begin()) + "}";
        const CliRun r = run({"--json"}, scenario);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json card = r.events("card").at(0);
        EXPECT_EQ(card["kind"], c.kind);
        for (const auto& [key, value] : c.fields)
            EXPECT_EQ(card.value(key, ""), value) << key;
        EXPECT_NE(card.value("number", ""), "");
        // Nothing decoded through the identity card's layout; the photo as for every card.
        EXPECT_FALSE(card.contains("nation"));
        EXPECT_EQ(card.value("photo_bmp", ""), m_dir.file("zp.bmp"));

        const CliRun text = run({}, scenario);
        EXPECT_NE(text.out.find(c.kindName), std::string::npos) << text.out;
    }
}

TEST_F(CliTest, RepeatKeepsTheReaderOpenAndSummarisesEveryCall)
{
    const CliRun r =
        run({"--repeat", "5", "--json"}, R"("timeline": {"mode": "fixed", "card": 0})");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.events("card").size(), 5u);
    const json summary = r.events().back();
    EXPECT_EQ(summary["passes"], 5);
    EXPECT_EQ(summary["cards"], 5);
    EXPECT_EQ(summary["calls_ms"]["SDT_OpenPort"]["count"], 1);
    EXPECT_EQ(summary["calls_ms"]["SDT_ReadBaseFPMsg"]["count"], 5);
    for (const json& d : {summary["pass_ms"], summary["calls_ms"]["Wlt2Bmp"]}) {
        EXPECT_LE(d["min"], d["median"]);
        EXPECT_LE(d["median"], d["p95"]);
        EXPECT_LE(d["p95"], d["max"]);
    }
}

TEST_F(CliTest, FailedReadIsReportedWithItsCodeAndTheNextPassReopens)
{
    // A module without fingerprints gets the plain read; its first read fails.
    const CliRun r = run({"--repeat", "2", "--json"},
                         R"("sam_id": "5-1-test", "timeline": {"mode": "fixed", "card": 0},
                         "faults": {"read_failure": {"sequence": [true]}})");
    EXPECT_EQ(r.exitCode, 3);
    std::vector<std::string> kinds;
    for (const json& e : r.events())
        kinds.push_back(e["event"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"device", "failure", "device", "card", "summary"}));
    const json failure = r.events("failure")[0];
    EXPECT_EQ(failure["kind"], "read_failed");
    EXPECT_EQ(failure["call"], "SDT_ReadBaseMsg");
    EXPECT_EQ(failure["code"], 65);
    EXPECT_EQ(r.events("card")[0]["fingerprint_length"], 0);
    EXPECT_EQ(r.events().back()["failures"]["read_failed"], 1);
}

TEST_F(CliTest, ContinuousReadsEachPlacedCardOnce)
{
    const CliRun r =
        run({"--continuous", "--duration", "2", "--json"},
            R"("cards": [0, 5], "timeline": {"mode": "cycle", "on_ms": 400, "off_ms": 400})");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto events = r.events();
    ASSERT_GE(events.size(), 6u);
    EXPECT_EQ(events.front()["event"], "device");
    EXPECT_EQ(events.back()["event"], "summary");
    EXPECT_EQ(events.back()["interrupted"], false);
    // Card, gone, card, gone ... with the two cards taking turns.
    std::vector<std::string> ids;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i]["event"], i % 2 ? "card" : "card_gone") << events[i];
        if (events[i]["event"] == "card")
            ids.push_back(events[i]["id_number"]);
    }
    ASSERT_GE(ids.size(), 2u);
    for (std::size_t i = 1; i < ids.size(); ++i)
        EXPECT_NE(ids[i], ids[i - 1]);
}

TEST_F(CliTest, InterruptEndsContinuousReadingWithItsSummary)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const CliRun r = run({"--continuous", "--json"},
                             R"("timeline": {"mode": "fixed", "card": 0})", [&](pid_t pid) {
                                 ASSERT_TRUE(printed("\"event\":\"card\""));
                                 kill(pid, signal);
                             });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const json summary = r.events().back();
        EXPECT_EQ(summary["event"], "summary");
        EXPECT_EQ(summary["interrupted"], true);
        EXPECT_EQ(summary["cards"], 1);
    }
}

// Output that cannot be written ends the run at once with 74 and says so;
// nothing a script would take for a result is left behind.
TEST_F(CliTest, UnwritableOutputEndsTheRunWith74)
{
    const std::vector<std::string> runs[] = {{"--repeat", "20000", "--json"}, {"--help"}};
    for (const char* out : {"/dev/full", "closed"})
        for (const auto& args : runs) {
            SCOPED_TRACE(std::string(out) + " " + args[0]);
            m_stdout = out;
            const CliRun r = run(args, R"("timeline": {"mode": "fixed", "card": 0})");
            EXPECT_EQ(r.exitCode, 74);
            EXPECT_EQ(r.err.rfind("zuviruzozozad-cli: standard output could not be written", 0), 0u)
                << r.err;
        }
}

// Card text is data: in the readable text a control character shows in caret
// notation and never reaches the terminal; JSON keeps it, escaped.
TEST_F(CliTest, CardTextNeverControlsTheTerminal)
{
    const std::string scenario =
        R"("cards": [{"builtin": 0, "name": "\u001b]0;pwn\u0007张", "address": "\u001b[2J示例\u007f"}],
           "timeline": {"mode": "fixed", "card": 0})";
    const CliRun text = run({}, scenario);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    for (const char c : text.out)
        EXPECT_TRUE(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)) << int(c);
    EXPECT_NE(text.out.find("^[]0;pwn^G张"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("^[[2J示例^?"), std::string::npos) << text.out;
    const json card = run({"--json"}, scenario).events("card").at(0);
    EXPECT_EQ(card["name"], "\x1B]0;pwn\x07张");
}

// A quote or a backslash in a path (the program's directory, the library's)
// leaves every line one JSON object. A library file that is there but does
// not load says why.
TEST_F(CliTest, PathsWithQuotesKeepEveryLineJson)
{
    const std::filesystem::path dir = m_dir.path() / "rack \"7\\b";
    std::filesystem::create_directory(dir);
    m_program = (dir / "zuviruzozozad-cli").string();
    std::filesystem::copy_file(CLI_PROGRAM, m_program);
    const std::string library = (dir / "libtermb_virtual.so").string();
    std::filesystem::copy_file(VIRTUAL_READER, library);
    const CliRun read =
        run({"--json", "--library", library}, R"("timeline": {"mode": "fixed", "card": 0})");
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.events("card").at(0)["photo_bmp"], (dir / "zp.bmp").string());
    const std::string empty = (dir / "empty\".so").string();
    m_dir.write(empty, "");
    const CliRun failed = run({"--json", "--library", empty}, "");
    EXPECT_EQ(failed.exitCode, 4);
    EXPECT_EQ(failed.events("failure").at(0)["message"],
              empty + ": the file is empty, not a library (looked at " + empty + ")");
}

// A fixed number of passes cut short is no result: 130, with the summary of
// the passes made.
TEST_F(CliTest, InterruptedRepeatExits130WithItsSummary)
{
    const CliRun r = run({"--repeat", "1000000", "--json"},
                         R"("timeline": {"mode": "fixed", "card": 0})", [&](pid_t pid) {
                             ASSERT_TRUE(printed("\"event\":\"card\""));
                             kill(pid, SIGINT);
                         });
    EXPECT_EQ(r.exitCode, 130) << r.err;
    const json summary = r.events().back();
    EXPECT_EQ(summary["interrupted"], true);
    EXPECT_LT(summary["passes"], 1000000);
}

// A reader that answers only after a while, and then reads every card, has
// passed: the passes are counted, and the run succeeds.
TEST_F(CliTest, ContinuousReadingOfAReaderThatCameLateSucceeds)
{
    const CliRun r = run({"--continuous", "--duration", "0.8", "--json"},
                         R"("timeline": {"mode": "fixed", "card": 0},
                         "faults": {"reader_vanishes": {"at_ms": [0], "duration_ms": 300}})");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const json summary = r.events().back();
    EXPECT_GE(summary["failures"]["no_reader"], 1);
    EXPECT_EQ(summary["cards"], 1);
    EXPECT_EQ(summary["passes"], summary["calls_ms"]["SDT_StartFindIDCard"]["count"]);
}

} // namespace

// Two readers with read calls of 500 ms, each in a host of its own: each
// reads its ten cards, every line names its port, and they read side by
// side, well under the time of one after the other.
TEST_F(CliTest, SeveralReadersReadInParallel)
{
    m_base =
        R"("latency_scale": 1, "ports": [1001, 1002], "latency_ms": {"SDT_ReadBaseFPMsg": 500})";
    const CliRun r = run({"--port", "1001,1002", "--repeat", "10", "--json"},
                         R"("timeline": {"mode": "fixed", "card": 0})");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::map<int, int> cards;
    double serialMs = 0;
    for (const json& e : r.events()) {
        ASSERT_TRUE(e.contains("port")) << e;
        if (e["event"] == "card") {
            ++cards[e["port"].get<int>()];
            serialMs += e["read_ms"].get<double>();
        }
    }
    EXPECT_EQ(cards, (std::map<int, int>{{1001, 10}, {1002, 10}}));
    const json total = r.events().back();
    EXPECT_EQ(total["ports"], json::array({1001, 1002}));
    EXPECT_EQ(total["cards"], 20);
    EXPECT_GT(serialMs, 10000);
    EXPECT_LT(total["elapsed_s"].get<double>() * 1000, 0.75 * serialMs);
    // Each reader's photo files are named by its port; none are shared.
    for (const char* file : {"zp-1001.bmp", "zp-1002.bmp"})
        EXPECT_TRUE(std::filesystem::exists(m_dir.file(file))) << file;
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("zp.bmp")));
}

// The run's exit status is the worst of its readers', and each reader's
// summary keeps its own.
TEST_F(CliTest, SeveralReadersEndWithTheWorstStatus)
{
    const struct
    {
        const char* what;
        std::string scenario;
        int first, second, total;
    } cases[] = {
        {"both read", R"("ports": [1001, 3], "timeline": {"mode": "fixed", "card": 0})", 0, 0, 0},
        {"the second absent", R"("timeline": {"mode": "fixed", "card": 0})", 0, 2, 2},
        {"no card on either", R"("ports": [1001, 3], "timeline": {"mode": "fixed", "card": null})",
         3, 3, 3},
        {"absent beats no card", R"("timeline": {"mode": "fixed", "card": null})", 3, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CliRun r = run({"--port", "usb,COM3", "--repeat", "2", "--json"}, c.scenario);
        EXPECT_EQ(r.exitCode, c.total) << r.err;
        std::map<json, int> codes;
        for (const json& e : r.events("summary"))
            codes[e["port"]] = e["exit_code"];
        EXPECT_EQ(codes, (std::map<json, int>{{1001, c.first}, {3, c.second}, {nullptr, c.total}}));
    }
}

// --report writes a page that needs nothing from elsewhere; a page that
// cannot be written fails the run as unwritten output does.
TEST_F(CliTest, ReportPageIsSelfContained)
{
    const std::string card = R"("ports": [1001, 1002], "timeline": {"mode": "fixed", "card": 0})";
    const CliRun r = run({"--port", "1001,1002", "--repeat", "3", "--report", "run.html"}, card);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string page = m_dir.read("run.html");
    EXPECT_NE(page.find("USB1002"), std::string::npos);
    EXPECT_NE(page.find("<svg"), std::string::npos);
    EXPECT_TRUE(selfContained(page));
    const CliRun failed = run({"--report", m_dir.file("none/run.html")}, card);
    EXPECT_EQ(failed.exitCode, 74);
    EXPECT_NE(failed.err.find("could not be written"), std::string::npos) << failed.err;
}

namespace {

// A run's events without what differs from run to run: the timings.
std::vector<json> untimed(const CliRun& r)
{
    std::vector<json> events = r.events();
    for (json& e : events)
        for (const char* key : {"calls", "read_ms", "elapsed_s", "pass_ms", "calls_ms"})
            e.erase(key);
    return events;
}

} // namespace

TEST_F(CliTest, ARecordingPlayedBackGivesTheSameRun)
{
    // A card, then a select and a read that fail, then the card again.
    const std::string scenario =
        R"("cards": [10], "timeline": {"mode": "fixed", "card": 0}, "faults": {)"
        R"("select_failure": {"sequence": [false, true]},)"
        R"("read_failure": {"sequence": [false, true]}})";
    // What names the holder of that card, as the output prints it.
    const char* personal[] = {"name", "id_number", "address", "check_department", "pass_number"};
    for (const bool raw : {true, false}) {
        SCOPED_TRACE(raw ? "raw" : "redacted");
        std::vector<std::string> args = {"--repeat", "4", "--json", "--record", "calls.jsonl"};
        if (raw)
            args.push_back("--record-raw");
        m_scenarioText.clear();
        const CliRun recorded = run(args, scenario);
        EXPECT_EQ(std::count(recorded.err.begin(), recorded.err.end(), '\n'), raw ? 2 : 1)
            << recorded.err;
        EXPECT_EQ(recorded.err.find("--record-raw") != std::string::npos, raw);

        m_scenarioText = R"({"replay": "calls.jsonl", "latency_scale": 0})";
        const CliRun replayed = run({"--repeat", "4", "--json"}, "");
        EXPECT_EQ(replayed.exitCode, recorded.exitCode);
        // The same line on standard error, without the raw recording's.
        EXPECT_EQ(replayed.err,
                  raw ? recorded.err.substr(recorded.err.find('\n') + 1) : recorded.err);
        std::vector<json> original = untimed(recorded), played = untimed(replayed);
        ASSERT_EQ(played.size(), original.size());
        EXPECT_EQ(recorded.events("card").size(), 2u);
        EXPECT_EQ(recorded.events("failure").size(), 2u);
        if (raw) {
            EXPECT_EQ(played, original);
            continue;
        }
        // Redacted: the same cards and failures, the holder someone else.
        const std::string file = m_dir.read("calls.jsonl");
        for (std::size_t i = 0; i < original.size(); ++i) {
            if (original[i]["event"] != "card")
                continue;
            EXPECT_EQ(played[i]["kind"], original[i]["kind"]);
            EXPECT_EQ(played[i]["region"], original[i]["region"]);
            EXPECT_NE(played[i]["birthday"], original[i]["birthday"]);
            for (const char* key : personal) {
                SCOPED_TRACE(key);
                EXPECT_NE(played[i][key], original[i][key]);
                EXPECT_EQ(played[i][key].get<std::string>().size(),
                          original[i][key].get<std::string>().size());
                // Not in the recording either, as the card's UCS-2 text.
                std::string hex;
                for (const unsigned char ch : original[i][key].get<std::string>())
                    if (ch < 0x80) { // the ASCII characters: numbers and letters
                        char unit[8];
                        std::snprintf(unit, sizeof unit, "%02x00", ch);
                        hex += unit;
                    }
                if (hex.size() >= 16) {
                    EXPECT_EQ(file.find(hex), std::string::npos) << hex;
                }
            }
            for (const char* key : personal)
                played[i].erase(key), original[i].erase(key);
            for (const char* key : {"number", "birthday", "start_date", "end_date"})
                played[i].erase(key), original[i].erase(key);
        }
        EXPECT_EQ(played, original);
        // The sample card's compressed photo (its magic) is not in the recording.
        EXPECT_EQ(file.find("5a565731"), std::string::npos);
    }
}

TEST_F(CliTest, ARecordingThatCannotBeWrittenLeavesTheReadingGoing)
{
    const CliRun r = run({"--repeat", "3", "--json", "--record", "/dev/full"},
                         R"("timeline": {"mode": "fixed", "card": 0})");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.events("card").size(), 3u);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("/dev/full could not be written"), std::string::npos) << r.err;
}

// Two readers recorded into one file, each replayed by its own host: each
// reader gets its own calls back, whichever reader the recording wrote first.
TEST_F(CliTest, ARecordingOfTwoReadersPlaysBackEachReadersCalls)
{
    const std::vector<std::string> args = {"--port", "1001,1002", "--repeat", "3", "--json"};
    std::vector<std::string> recording = args;
    for (const char* more : {"--record", "calls.jsonl", "--record-raw"})
        recording.push_back(more);
    const CliRun recorded =
        run(recording, R"("ports": [1001, 1002], "timeline": {"mode": "fixed", "card": 0})");
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    m_scenarioText = R"({"replay": "calls.jsonl", "latency_scale": 0})";
    const CliRun replayed = run(args, "");
    EXPECT_EQ(replayed.exitCode, 0) << replayed.err;
    // Per port, in order: the lines of the two readers interleave as they may.
    auto byPort = [](std::vector<json> events) {
        std::map<json, std::vector<json>> ports;
        for (const json& e : events)
            ports[e["port"]].push_back(e);
        return ports;
    };
    EXPECT_EQ(byPort(untimed(replayed)), byPort(untimed(recorded)));
    EXPECT_EQ(replayed.events("card").size(), 6u);
}
