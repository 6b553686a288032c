#include "cli/report.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <vector>

#include "base/text.h"
#include "card/gbk.h"
#include "cli/json_line.h"
#include "state/shared_state.h"

namespace {

// A record's text fields, under the names the JSON carries and the labels
// the text shows (an empty label: shown only when not empty). `Record` pairs
// each table with the record it reads.
template <class Record> struct CardField
{
    const char* key;
    const char* label;
    std::size_t offset; // of the GBK text field in the record
    std::size_t size;
};

#define CARD_FIELD(Record, key, label, member)                                                     \
    CardField<Record>                                                                              \
    {                                                                                              \
        key, label, offsetof(Record, member), sizeof(Record::member)                               \
    }

const CardField<TIDCardInfo> kIdCardFields[] = {
    CARD_FIELD(TIDCardInfo, "name", "Name", Name),
    CARD_FIELD(TIDCardInfo, "sex", "Sex", Sex),
    CARD_FIELD(TIDCardInfo, "nation", "Nation", Nation),
    CARD_FIELD(TIDCardInfo, "birthday", "Birthday", Birthday),
    CARD_FIELD(TIDCardInfo, "address", "Address", Address),
    CARD_FIELD(TIDCardInfo, "id_number", "ID number", IDCardNo),
    CARD_FIELD(TIDCardInfo, "check_department", "Issued by", CheckDepartment),
    CARD_FIELD(TIDCardInfo, "start_date", "Valid from", StartDate),
    CARD_FIELD(TIDCardInfo, "end_date", "Valid until", EndDate),
    CARD_FIELD(TIDCardInfo, "reserved", "", Reserved),
    CARD_FIELD(TIDCardInfo, "app_address", "", AppAddress),
};

const CardField<TForeignCardInfo> kForeignFields[] = {
    CARD_FIELD(TForeignCardInfo, "chinese_name", "Chinese name", ChineseName),
    CARD_FIELD(TForeignCardInfo, "english_name", "English name", EnglishName),
    CARD_FIELD(TForeignCardInfo, "sex", "Sex", Sex),
    CARD_FIELD(TForeignCardInfo, "birthday", "Birthday", Birthday),
    CARD_FIELD(TForeignCardInfo, "nationality", "Nationality", Nationality),
    CARD_FIELD(TForeignCardInfo, "nationality_code", "Country code", NationalityCode),
    CARD_FIELD(TForeignCardInfo, "card_number", "Card number", CardNo),
    CARD_FIELD(TForeignCardInfo, "authority", "Issued by", Authority),
    CARD_FIELD(TForeignCardInfo, "authority_code", "Office code", AuthorityCode),
    CARD_FIELD(TForeignCardInfo, "start_date", "Valid from", StartDate),
    CARD_FIELD(TForeignCardInfo, "end_date", "Valid until", EndDate),
    CARD_FIELD(TForeignCardInfo, "card_version", "Card version", CardVersion),
};

// The permit names its issuer as the identity card does.
const CardField<TPermitCardInfo> kPermitFields[] = {
    CARD_FIELD(TPermitCardInfo, "name", "Name", Name),
    CARD_FIELD(TPermitCardInfo, "sex", "Sex", Sex),
    CARD_FIELD(TPermitCardInfo, "birthday", "Birthday", Birthday),
    CARD_FIELD(TPermitCardInfo, "address", "Address", Address),
    CARD_FIELD(TPermitCardInfo, "id_number", "ID number", IDCardNo),
    CARD_FIELD(TPermitCardInfo, "region", "Region", Region),
    CARD_FIELD(TPermitCardInfo, "check_department", "Issued by", CheckDepartment),
    CARD_FIELD(TPermitCardInfo, "start_date", "Valid from", StartDate),
    CARD_FIELD(TPermitCardInfo, "end_date", "Valid until", EndDate),
    CARD_FIELD(TPermitCardInfo, "pass_number", "Pass number", PassNo),
    CARD_FIELD(TPermitCardInfo, "issue_count", "Issue count", IssueCount),
};

#undef CARD_FIELD

// One field of the card read, with its value in UTF-8.
struct FieldValue
{
    const char* key;
    const char* label;
    std::string value;
};

template <class Record, std::size_t N>
void addFields(std::vector<FieldValue>& out, const CardField<Record> (&fields)[N],
               const Record& record)
{
    for (const CardField<Record>& field : fields) {
        const char* text = reinterpret_cast<const char*>(&record) + field.offset;
        out.push_back({field.key, field.label, GbkToUtf8(FieldText(text, field.size))});
    }
}

// The fields of the card's own kind: an identity card's record is CardInfo,
// the other decoded kinds have theirs in the kind record. A kind whose layout
// is not decoded gets the note instead, never fields read from another layout.
std::vector<FieldValue> cardFields(const CardRead& card)
{
    std::vector<FieldValue> fields;
    switch (card.kind->Kind) {
    case CardKind::IdCard:
        addFields(fields, kIdCardFields, *card.record);
        break;
    case CardKind::ForeignPermanent:
        addFields(fields, kForeignFields, card.kind->Foreign);
        break;
    case CardKind::HkMacaoTaiwanPermit:
        addFields(fields, kPermitFields, card.kind->Permit);
        break;
    case CardKind::ForeignPermanent2023:
    case CardKind::Unknown:
        fields.push_back({"note", "Note", kUnsupportedLayoutText});
        break;
    }
    return fields;
}

// The kind as the JSON names it.
const char* kindKey(CardKind kind)
{
    switch (kind) {
    case CardKind::IdCard:
        return "id";
    case CardKind::ForeignPermanent:
        return "foreign";
    case CardKind::HkMacaoTaiwanPermit:
        return "permit";
    case CardKind::ForeignPermanent2023:
        return "foreign-2023";
    case CardKind::Unknown:
        break;
    }
    return "unknown";
}

const char* failureText(FailureKind kind)
{
    switch (kind) {
    case FailureKind::NoReader:
        return "no reader answered";
    case FailureKind::NoCard:
        return "no card on the reader";
    case FailureKind::PortFailed:
        return "the reader's port failed";
    case FailureKind::ReadFailed:
        return "the card could not be read";
    case FailureKind::Library:
        return "the reader library could not be loaded";
    case FailureKind::LibraryCrashed:
        return "the reader library crashed in";
    case FailureKind::LibraryHung:
        return "the reader library did not answer in time in";
    }
    return "";
}

std::string fixed(double value, int decimals)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

std::string durationJson(const DurationSummary& d)
{
    return JsonLine()
        .number("count", std::int64_t(d.count))
        .ms("min", d.min)
        .ms("median", d.median)
        .ms("p95", d.p95)
        .ms("max", d.max)
        .str();
}

std::string durationRow(const std::string& name, const DurationSummary& d)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "  %-20s %8llu %9.3f %9.3f %9.3f %9.3f", name.c_str(),
                  static_cast<unsigned long long>(d.count), d.min, d.median, d.p95, d.max);
    return buf;
}

} // namespace

const char* FailureKindName(FailureKind kind)
{
    static const char* const names[kFailureKindCount] = {
        "no_reader", "no_card",         "port_failed", "read_failed",
        "library",   "library_crashed", "library_hung"};
    return names[int(kind)];
}

std::string PortName(int port)
{
    if (port == kUsbPort)
        return "USB";
    return (port > kUsbPort && port <= kLastUsbPort ? "USB" : "COM") + std::to_string(port);
}

int WorstExitStatus(const std::vector<int>& codes)
{
    static const int order[] = {0, 3, 2, 5, 4, 130, 74};
    auto rank = [](int code) {
        const auto at = std::find(std::begin(order), std::end(order), code);
        return int(at - std::begin(order));
    };
    int worst = 0;
    for (const int code : codes)
        if (rank(code) > rank(worst) || (rank(code) == rank(worst) && code > worst))
            worst = code;
    return worst;
}

std::string PortLabel(int port)
{
    return port >= kUsbPort && port <= kLastUsbPort ? std::to_string(port)
                                                    : "COM" + std::to_string(port);
}

Report::Report(std::FILE* out, std::FILE* err, bool json, bool progress, bool outShared)
    : m_out(out), m_err(err), m_json(json), m_progress(progress), m_outShared(outShared)
{
}

void Report::line(const std::string& given, bool last)
{
    if (m_outputError)
        return;
    std::string text = given;
    if (m_port != 0 && !m_json) {
        const std::string prefix = "[" + PortLabel(m_port) + "] ";
        text = prefix;
        for (const char c : given) {
            text += c;
            if (c == '\n')
                text += prefix;
        }
    }
    if (last || m_outShared)
        clearProgress();
    errno = 0;
    if (std::fputs(text.c_str(), m_out) == EOF || std::fputc('\n', m_out) == EOF ||
        std::fflush(m_out) != 0)
        m_outputError = errno ? errno : EIO;
}

// The progress line is a courtesy: when standard error cannot take it, the
// run goes on without one.
void Report::writeErr(const std::string& text)
{
    if (std::fputs(text.c_str(), m_err) == EOF || std::fflush(m_err) != 0)
        m_progress = false;
}

void Report::device(int port, const std::string& samIdUtf8, bool isVirtual)
{
    if (m_json) {
        line(JsonLine()
                 .text("event", "device")
                 .number("port", port)
                 .text("port_name", PortName(port))
                 .text("sam_id", samIdUtf8)
                 .boolean("virtual", isVirtual)
                 .str());
        return;
    }
    line("Reader on " + PortName(port) + " (port " + std::to_string(port) + "), security module " +
         CaretNotation(samIdUtf8) + (isVirtual ? " (virtual reader)" : ""));
}

void Report::card(const CardRead& card)
{
    const TIDCardInfo& record = *card.record;
    const std::vector<FieldValue> fields = cardFields(card);
    if (m_json) {
        JsonLine json;
        json.text("event", "card").number("card", card.number).number("port", card.port);
        json.text("kind", kindKey(card.kind->Kind));
        json.text("number", GbkToUtf8(CardNumberText(*card.kind)));
        for (const FieldValue& field : fields)
            json.text(field.key, field.value);
        json.number("fingerprint_length", record.FingerprintLength);
        json.raw("photo_wlt", card.wltPath.empty() ? "null" : JsonLine::Quoted(card.wltPath));
        json.raw("photo_bmp", card.bmpPath.empty() ? "null" : JsonLine::Quoted(card.bmpPath));
        std::string calls = "[";
        for (const TimedCall& c : card.pass.calls) {
            if (calls.size() > 1)
                calls += ',';
            calls += JsonLine()
                         .text("call", TermbFunctionName(c.call))
                         .ms("ms", c.ms)
                         .number("result", c.result)
                         .str();
        }
        json.raw("calls", calls + "]");
        json.ms("read_ms", card.readMs);
        line(json.str());
        return;
    }
    std::string text = "Card " + std::to_string(card.number) + " on " + PortName(card.port);
    // Every value but the program's own numbers comes from the card or the
    // system, so each is shown in caret notation.
    auto row = [&text](const std::string& label, const std::string& value) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "\n  %-13s ", label.c_str());
        text += buf + CaretNotation(value);
    };
    row("Kind", CardKindName(card.kind->Kind));
    if (!CardKindDecoded(card.kind->Kind))
        row("Number", GbkToUtf8(CardNumberText(*card.kind)));
    for (const FieldValue& field : fields) {
        if (*field.label)
            row(field.label, field.value);
        else if (!field.value.empty())
            row(field.key, field.value);
    }
    row("Fingerprint", std::to_string(record.FingerprintLength) + " bytes");
    row("Photo", (card.bmpPath.empty() ? std::string("(no bitmap)") : card.bmpPath) + ", " +
                     (card.wltPath.empty() ? std::string("(not written)") : card.wltPath));
    std::string calls;
    for (const TimedCall& c : card.pass.calls)
        calls += std::string(calls.empty() ? "" : ", ") + TermbFunctionName(c.call) + " " +
                 fixed(c.ms, 3);
    row("Read in", fixed(card.readMs, 3) + " ms (" + calls + ")");
    line(text);
}

void Report::cardGone()
{
    JsonLine json;
    json.text("event", "card_gone");
    if (m_port)
        json.number("port", m_port);
    line(m_json ? json.str() : "Card taken away");
}

void Report::failure(const Failure& f)
{
    // A host fault has no answer to show, only the call it happened in.
    const bool fault = f.kind == FailureKind::LibraryCrashed || f.kind == FailureKind::LibraryHung;
    if (m_json) {
        JsonLine json;
        json.text("event", "failure");
        if (m_port)
            json.number("port", m_port);
        json.text("kind", FailureKindName(f.kind));
        json.raw("code", f.call && !fault ? std::to_string(f.code) : "null");
        json.raw("call", f.call ? JsonLine::Quoted(f.call) : "null");
        json.text("message", f.detail.empty() ? failureText(f.kind) : f.detail);
        line(json.str());
        return;
    }
    std::string text = std::string("Failure: ") + failureText(f.kind);
    if (f.call && fault)
        text += std::string(" ") + f.call;
    else if (f.call)
        text += std::string(" (") + f.call + " answered " + std::to_string(f.code) + ")";
    if (!f.detail.empty())
        text += ": " + CaretNotation(f.detail);
    line(text);
}

void Report::summary(const RunSummary& s)
{
    JsonLine json;
    json.text("event", "summary");
    if (m_port)
        json.number("port", m_port);
    summaryLine(s, "Summary", std::move(json));
}

void Report::total(const RunSummary& s, const std::vector<int>& ports)
{
    m_port = 0;
    std::string list = "[";
    for (const int port : ports)
        list += (list.size() > 1 ? "," : "") + std::to_string(port);
    JsonLine json;
    json.text("event", "summary").raw("port", "null").raw("ports", list + "]");
    summaryLine(s, "Total of " + std::to_string(ports.size()) + " readers", std::move(json));
}

void Report::summaryLine(const RunSummary& s, const std::string& title, JsonLine&& json)
{
    if (m_json) {
        JsonLine failures;
        for (int k = 0; k < kFailureKindCount; ++k)
            failures.number(FailureKindName(FailureKind(k)), std::int64_t(s.failures[k]));
        JsonLine calls;
        for (const auto& [call, d] : s.calls)
            calls.raw(TermbFunctionName(call), durationJson(d));
        line(json.text("mode", s.mode)
                 .number("passes", std::int64_t(s.passes))
                 .number("cards", std::int64_t(s.cards))
                 .raw("failures", failures.str())
                 .boolean("interrupted", s.interrupted)
                 .number("exit_code", s.exitCode)
                 .raw("elapsed_s", fixed(s.elapsedSeconds, 3))
                 .raw("pass_ms", durationJson(s.pass))
                 .raw("calls_ms", calls.str())
                 .str(),
             true);
        return;
    }
    std::uint64_t failed = 0;
    std::string kinds;
    for (int k = 0; k < kFailureKindCount; ++k) {
        failed += s.failures[k];
        if (s.failures[k])
            kinds += std::string(kinds.empty() ? "" : ", ") + std::to_string(s.failures[k]) + " " +
                     FailureKindName(FailureKind(k));
    }
    std::string text = title + (s.interrupted ? " (interrupted)" : "") + ": " +
                       std::to_string(s.passes) + " passes, " + std::to_string(s.cards) +
                       " cards, " +
                       (failed ? std::to_string(failed) + " failures (" + kinds + ")"
                               : std::string("no failures")) +
                       " in " + fixed(s.elapsedSeconds, 1) + " s";
    if (s.pass.count || !s.calls.empty()) {
        char head[160];
        std::snprintf(head, sizeof head, "  %-20s %8s %9s %9s %9s %9s", "duration (ms)", "count",
                      "min", "median", "p95", "max");
        text += std::string("\n") + head;
        if (s.pass.count)
            text += "\n" + durationRow("pass", s.pass);
        for (const auto& [call, d] : s.calls)
            text += "\n" + durationRow(TermbFunctionName(call), d);
    }
    line(text, true);
}

void Report::progress(const std::string& text)
{
    if (!m_progress)
        return;
    std::string shown = "\r" + text;
    if (text.size() < m_progressWidth)
        shown += std::string(m_progressWidth - text.size(), ' ');
    m_progressWidth = text.size();
    writeErr(shown);
}

void Report::clearProgress()
{
    if (!m_progress || m_progressWidth == 0)
        return;
    writeErr("\r" + std::string(m_progressWidth, ' ') + "\r");
    m_progressWidth = 0;
}
