#include "sim/scenario.h"

#include "sim/replay.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace termbsim {

namespace {

using nlohmann::json;

// A problem in the scenario, with the place where it was found.
struct ScenarioError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& where, const std::string& what)
{
    throw ScenarioError(where.empty() ? what : where + ": " + what);
}

std::string member(const std::string& where, const std::string& key)
{
    return where.empty() ? key : where + "." + key;
}

std::string element(const std::string& where, std::size_t i)
{
    return where + "[" + std::to_string(i) + "]";
}

// Refuses keys the format does not know, so a misspelt key is not silently
// ignored; keys beginning with "_" are comments.
void checkKeys(const json& object, const std::string& where,
               std::initializer_list<const char*> known)
{
    if (!object.is_object())
        fail(where, "must be an object");
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (key.rfind('_', 0) == 0)
            continue;
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return key == k; }))
            fail(where, "unknown key \"" + key + "\"");
    }
}

std::int64_t integer(const json& value, const std::string& where, std::int64_t min,
                     std::int64_t max)
{
    if (!value.is_number_integer())
        fail(where, "must be a whole number");
    const std::int64_t v =
        value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(max)
            ? max + 1
            : value.get<std::int64_t>();
    if (v < min || v > max)
        fail(where, "must lie between " + std::to_string(min) + " and " + std::to_string(max));
    return v;
}

double number(const json& value, const std::string& where, double min, double max)
{
    if (!value.is_number())
        fail(where, "must be a number");
    const double v = value.get<double>();
    if (!(v >= min && v <= max))
        fail(where, "must lie between " + std::to_string(min) + " and " + std::to_string(max));
    return v;
}

std::string text(const json& value, const std::string& where)
{
    if (!value.is_string())
        fail(where, "must be a text");
    return value.get<std::string>();
}

bool flag(const json& value, const std::string& where)
{
    if (!value.is_boolean())
        fail(where, "must be true or false");
    return value.get<bool>();
}

std::string resolve(const std::string& file, const std::string& baseDir)
{
    const std::filesystem::path p(file);
    return p.is_absolute() || baseDir.empty() ? file
                                              : (std::filesystem::path(baseDir) / p).string();
}

std::vector<std::uint8_t> readBinary(const std::string& path, bool& ok)
{
    std::string content;
    ok = ReadFileText(path, content);
    return {content.begin(), content.end()};
}

const CardSpec& builtinCard(const json& value, const std::string& where)
{
    const auto& cards = BuiltinCards();
    if (value.is_string()) {
        const std::string key = value.get<std::string>();
        for (const CardSpec& c : cards) {
            if (c.key == key)
                return c;
        }
        fail(where, "there is no built-in card \"" + key + "\"");
    }
    if (!value.is_number_integer())
        fail(where, "must name a built-in card by its number or its key");
    return cards[integer(value, where, 0, static_cast<std::int64_t>(cards.size()) - 1)];
}

// The sex and nation codes may be given as numbers; the nation then gets its
// two digits (1 is "01").
std::string codeText(const json& value, const std::string& where, int width)
{
    if (value.is_number_integer()) {
        std::string digits = std::to_string(integer(value, where, 0, width == 1 ? 9 : 99));
        return std::string(width - digits.size(), '0') + digits;
    }
    return text(value, where);
}

CardKind cardKind(const json& value, const std::string& where)
{
    const std::string key = text(value, where);
    for (const CardLayout& layout : kLayouts) {
        if (key == layout.key)
            return layout.kind;
    }
    fail(where, "must be \"id\", \"foreign\", \"permit\" or \"foreign-2023\", not \"" + key + "\"");
}

const BaseField* findField(const CardLayout& layout, const std::string& key)
{
    const BaseField* f = std::find_if(layout.begin(), layout.end(),
                                      [&](const BaseField& b) { return key == b.key; });
    return f == layout.end() ? nullptr : f;
}

// A key that names a field of some kind of card.
bool isFieldKey(const std::string& key)
{
    return std::any_of(std::begin(kLayouts), std::end(kLayouts),
                       [&](const CardLayout& l) { return findField(l, key) != nullptr; });
}

CardSpec parseCard(const json& value, const std::string& where, std::size_t position,
                   const std::string& baseDir)
{
    if (!value.is_object()) {
        CardSpec card = builtinCard(value, where);
        return card;
    }
    checkKeys(value, where, {"builtin",     "kind",        "name",         "sex",         "nation",
                             "birth",       "address",     "id_number",    "authority",   "start",
                             "end",         "reserved",    "english_name", "nationality", "version",
                             "pass_number", "issue_count", "fingerprint",  "padding",     "photo"});
    CardSpec card;
    if (value.contains("builtin")) {
        card = builtinCard(value["builtin"], member(where, "builtin"));
    } else {
        // A card given field by field gets a drawn portrait all the same.
        const auto& looks = BuiltinCards();
        card.key = "card" + std::to_string(position);
        card.look = looks[position % looks.size()].look;
    }
    if (value.contains("kind"))
        card.kind = cardKind(value["kind"], member(where, "kind"));
    const CardLayout& layout = LayoutOf(card.kind);
    for (const auto& item : value.items()) {
        const std::string where2 = member(where, item.key());
        const BaseField* f = findField(layout, item.key());
        if (!f) {
            if (isFieldKey(item.key()))
                fail(where2, "is no field of a \"" + std::string(layout.key) + "\" card");
            continue;
        }
        const json& v = item.value();
        if (f->member == &CardFields::sex)
            card.fields.sex = codeText(v, where2, 1);
        else if (f->member == &CardFields::nation)
            card.fields.nation = codeText(v, where2, 2);
        else
            card.fields.*f->member = text(v, where2);
    }
    if (value.contains("fingerprint"))
        card.hasFingerprint = flag(value["fingerprint"], member(where, "fingerprint"));
    if (value.contains("padding")) {
        const std::string pad = text(value["padding"], member(where, "padding"));
        if (pad != "blank" && pad != "zero")
            fail(member(where, "padding"), "must be \"blank\" or \"zero\"");
        card.zeroPadding = pad == "zero";
    }
    if (value.contains("photo")) {
        const std::string where2 = member(where, "photo");
        const std::string file = resolve(text(value["photo"], where2), baseDir);
        bool ok = false;
        const std::vector<std::uint8_t> bytes = readBinary(file, ok);
        if (!ok)
            fail(where2, "cannot read " + file);
        PaletteImage image;
        std::string why;
        if (!ImageFromBmp(bytes, image, why))
            fail(where2, file + ": " + why);
        card.photo = std::move(image);
    }
    return card;
}

Timeline parseTimeline(const json& value, const std::string& where, std::size_t cardCount,
                       const std::string& baseDir)
{
    if (!value.is_object() || !value.contains("mode"))
        fail(where, "must be an object with a \"mode\": \"cycle\", \"manual\" or \"fixed\"");
    Timeline t;
    const std::string mode = text(value["mode"], member(where, "mode"));
    constexpr std::int64_t kDay = 24LL * 3600 * 1000;
    if (mode == "cycle") {
        checkKeys(value, where, {"mode", "on_ms", "off_ms", "start"});
        t.mode = Timeline::Mode::Cycle;
        if (value.contains("on_ms"))
            t.onMs = integer(value["on_ms"], member(where, "on_ms"), 1, kDay);
        if (value.contains("off_ms"))
            t.offMs = integer(value["off_ms"], member(where, "off_ms"), 0, kDay);
        if (value.contains("start")) {
            const std::string start = text(value["start"], member(where, "start"));
            if (start != "on" && start != "off")
                fail(member(where, "start"), "must be \"on\" or \"off\"");
            t.startOn = start == "on";
        }
    } else if (mode == "manual") {
        checkKeys(value, where, {"mode", "control_file"});
        t.mode = Timeline::Mode::Manual;
        if (!value.contains("control_file"))
            fail(where, "a manual timeline needs a \"control_file\"");
        t.controlFile =
            resolve(text(value["control_file"], member(where, "control_file")), baseDir);
        if (t.controlFile.empty())
            fail(member(where, "control_file"), "must not be empty");
    } else if (mode == "fixed") {
        checkKeys(value, where, {"mode", "card"});
        t.mode = Timeline::Mode::Fixed;
        if (value.contains("card") && !value["card"].is_null()) {
            if (cardCount == 0)
                fail(member(where, "card"), "the scenario has no cards");
            t.fixedCard = static_cast<int>(integer(value["card"], member(where, "card"), 0,
                                                   static_cast<std::int64_t>(cardCount) - 1));
        }
    } else {
        fail(member(where, "mode"),
             "must be \"cycle\", \"manual\" or \"fixed\", not \"" + mode + "\"");
    }
    return t;
}

int defaultFaultCode(Fault kind)
{
    switch (kind) {
    case Fault::FindPortFailure:
        return 1;
    case Fault::SelectFailure:
        return 128;
    case Fault::ReadFailure:
    case Fault::CardLeavesDuringRead:
        return 65;
    default:
        return 0;
    }
}

FaultSpec parseFault(const json& value, const std::string& where, Fault kind)
{
    const bool vanish = kind == Fault::ReaderVanishes;
    // Only the faults that decide a call's result take result codes.
    const bool hasCode = kind != Fault::ReaderVanishes && kind != Fault::PhotoCorrupt;
    if (vanish)
        checkKeys(value, where,
                  {"sequence", "repeat", "probability", "seed", "at_ms", "duration_ms"});
    else if (hasCode)
        checkKeys(value, where, {"sequence", "repeat", "probability", "seed", "code"});
    else
        checkKeys(value, where, {"sequence", "repeat", "probability", "seed"});

    FaultSpec f;
    f.code = defaultFaultCode(kind);
    const int triggers =
        value.contains("sequence") + value.contains("probability") + value.contains("at_ms");
    if (triggers != 1)
        fail(where, vanish ? "needs exactly one of \"sequence\", \"probability\" and \"at_ms\""
                           : "needs exactly one of \"sequence\" and \"probability\"");
    if (value.contains("code"))
        f.code = static_cast<int>(integer(value["code"], member(where, "code"),
                                          std::numeric_limits<int>::min(),
                                          std::numeric_limits<int>::max()));
    if (value.contains("sequence")) {
        const std::string w = member(where, "sequence");
        const json& seq = value["sequence"];
        if (!seq.is_array())
            fail(w,
                 "must be a list of true, false" + std::string(hasCode ? " or result codes" : ""));
        f.trigger = FaultSpec::Trigger::Sequence;
        for (std::size_t i = 0; i < seq.size(); ++i) {
            const json& e = seq[i];
            if (e.is_boolean()) {
                f.sequence.push_back(e.get<bool>() ? kDefaultCode : kNoFault);
            } else if (e.is_null()) {
                f.sequence.push_back(kNoFault);
            } else if (hasCode && e.is_number_integer()) {
                f.sequence.push_back(static_cast<int>(integer(e, element(w, i), 0, 0xFFFF)));
            } else {
                fail(element(w, i), hasCode ? "must be true, false or a result code from 0 to 65535"
                                            : "must be true or false");
            }
        }
        if (value.contains("repeat"))
            f.repeat = flag(value["repeat"], member(where, "repeat"));
    } else if (value.contains("repeat")) {
        fail(member(where, "repeat"), "belongs to a \"sequence\"");
    }
    if (value.contains("probability")) {
        f.trigger = FaultSpec::Trigger::Probability;
        f.probability = number(value["probability"], member(where, "probability"), 0, 1);
        if (value.contains("seed"))
            f.seed = static_cast<std::uint64_t>(integer(value["seed"], member(where, "seed"), 0,
                                                        std::numeric_limits<std::int64_t>::max()));
    } else if (value.contains("seed")) {
        fail(member(where, "seed"), "belongs to a \"probability\"");
    }
    if (value.contains("at_ms")) {
        const std::string w = member(where, "at_ms");
        if (!value["at_ms"].is_array())
            fail(w, "must be a list of times in milliseconds");
        f.trigger = FaultSpec::Trigger::Times;
        for (std::size_t i = 0; i < value["at_ms"].size(); ++i)
            f.atMs.push_back(integer(value["at_ms"][i], element(w, i), 0,
                                     std::numeric_limits<std::int64_t>::max() / 4));
    }
    if (value.contains("duration_ms"))
        f.durationMs =
            integer(value["duration_ms"], member(where, "duration_ms"), 0, 24LL * 3600 * 1000);
    return f;
}

void buildImages(Scenario& s)
{
    s.images.clear();
    for (std::size_t i = 0; i < s.cards.size(); ++i) {
        CardImage image;
        std::string why;
        if (!BuildCardImage(s.cards[i], image, why))
            fail(element("cards", i), why);
        s.images.push_back(std::move(image));
    }
}

void parseInto(const json& root, const std::string& baseDir, Scenario& s)
{
    checkKeys(root, "",
              {"description", "ports", "sam_id", "cards", "timeline", "latency_scale", "latency_ms",
               "faults", "replay"});
    if (root.contains("replay")) {
        // A recording answers every call itself: nothing of the model applies.
        for (const auto& item : root.items())
            if (item.key().rfind('_', 0) != 0 && item.key() != "description" &&
                item.key() != "latency_scale" && item.key() != "replay")
                fail(item.key(), "does not go with replay (only description and latency_scale do)");
        const json& replay = root["replay"];
        if (!replay.is_string() || replay.get<std::string>().empty())
            fail("replay", "must name a recording file");
        s.replay = (std::filesystem::path(baseDir) / replay.get<std::string>()).string();
    }
    if (root.contains("description"))
        text(root["description"], "description");
    if (root.contains("ports")) {
        const json& ports = root["ports"];
        if (!ports.is_array())
            fail("ports", "must be a list of port numbers (1001 USB, n COMn)");
        s.ports.clear();
        for (std::size_t i = 0; i < ports.size(); ++i)
            s.ports.push_back(static_cast<int>(integer(ports[i], element("ports", i), 1, 65535)));
    }
    if (root.contains("sam_id")) {
        s.samId = text(root["sam_id"], "sam_id");
        // The tool's buffer holds 201 characters with the closing NUL.
        if (s.samId.size() > 200 || s.samId.find('\0') != std::string::npos)
            fail("sam_id", "must be at most 200 characters, without NUL");
    }
    if (root.contains("cards")) {
        const json& cards = root["cards"];
        if (!cards.is_array())
            fail("cards", "must be a list of cards");
        s.cards.clear();
        for (std::size_t i = 0; i < cards.size(); ++i)
            s.cards.push_back(parseCard(cards[i], element("cards", i), i, baseDir));
    }
    if (root.contains("timeline"))
        s.timeline = parseTimeline(root["timeline"], "timeline", s.cards.size(), baseDir);
    if (root.contains("latency_scale"))
        s.latencyScale = number(root["latency_scale"], "latency_scale", 0, 1000);
    if (root.contains("latency_ms")) {
        const json& lat = root["latency_ms"];
        if (!lat.is_object())
            fail("latency_ms", "must be an object of function names and milliseconds");
        for (const auto& item : lat.items()) {
            if (item.key().rfind('_', 0) == 0)
                continue;
            const auto* name = std::find_if(std::begin(kCallNames), std::end(kCallNames),
                                            [&](const char* n) { return item.key() == n; });
            if (name == std::end(kCallNames))
                fail("latency_ms", "unknown function \"" + item.key() + "\"");
            s.latencyMs[name - std::begin(kCallNames)] = static_cast<int>(
                integer(item.value(), member("latency_ms", item.key()), 0, 600000));
        }
    }
    if (root.contains("faults")) {
        const json& faults = root["faults"];
        if (!faults.is_object())
            fail("faults", "must be an object of fault kinds");
        for (const auto& item : faults.items()) {
            if (item.key().rfind('_', 0) == 0)
                continue;
            const auto* name = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                            [&](const char* n) { return item.key() == n; });
            if (name == std::end(kFaultNames))
                fail("faults", "unknown fault \"" + item.key() + "\"");
            const auto kind = static_cast<Fault>(name - std::begin(kFaultNames));
            s.faults[static_cast<int>(kind)] =
                parseFault(item.value(), member("faults", item.key()), kind);
        }
    }
    buildImages(s);
}

} // namespace

Scenario DefaultScenario()
{
    Scenario s;
    // Every built-in card takes its turn, the other kinds after the identity
    // cards: the windows show each kind with its own fields.
    s.cards = BuiltinCards();
    // The built-in cards are known to be good, so their images wait for the
    // first read (EnsureImages): loading the library stays cheap, and the
    // program that loads it starts sooner.
    return s;
}

void EnsureImages(Scenario& scenario)
{
    std::string unused;
    for (std::size_t i = scenario.images.size(); i < scenario.cards.size(); ++i) {
        CardImage image;
        BuildCardImage(scenario.cards[i], image, unused);
        scenario.images.push_back(std::move(image));
    }
}

bool ParseScenario(const std::string& text, const std::string& baseDir, Scenario& scenario,
                   std::string& error)
{
    try {
        const json root = json::parse(text);
        Scenario s;
        s.cards = BuiltinCards();
        parseInto(root, baseDir, s);
        scenario = std::move(s);
        return true;
    } catch (const ScenarioError& e) {
        error = e.what();
    } catch (const json::parse_error& e) {
        // nlohmann's text: "[json.exception.parse_error.101] parse error at line 2, ..."
        std::string what = e.what();
        if (const auto pos = what.find("] "); pos != std::string::npos)
            what.erase(0, pos + 2);
        error = "not valid JSON: " + what;
    } catch (const std::exception& e) {
        error = e.what();
    }
    std::replace(error.begin(), error.end(), '\n', ' ');
    return false;
}

bool ReadFileText(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& error)
{
    std::string content;
    if (!ReadFileText(path, content)) {
        error = "cannot be read";
        return false;
    }
    if (IsRecording(content)) {
        scenario = Scenario{};
        scenario.replay = path;
        scenario.source = path;
        return true;
    }
    const std::string baseDir = std::filesystem::path(path).parent_path().string();
    if (!ParseScenario(content, baseDir, scenario, error))
        return false;
    scenario.source = path;
    return true;
}

} // namespace termbsim
