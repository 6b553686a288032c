#include "cli/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "state/shared_state.h"

namespace {

// One colour per reader, in the order of --port; and one per failure kind.
const char* const kReaderColours[] = {"#2563eb", "#d97706", "#059669", "#db2777",
                                      "#7c3aed", "#0891b2", "#65a30d", "#dc2626"};
const char* const kFailureColours[kFailureKindCount] = {"#64748b", "#f59e0b", "#ef4444", "#dc2626",
                                                        "#7f1d1d", "#9333ea", "#c026d3"};

constexpr int kBins = 24;

const char* readerColour(std::size_t i)
{
    return kReaderColours[i % std::size(kReaderColours)];
}

std::string printed(const char* format, double value)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string num(double value)
{
    return printed("%.1f", value);
}

// A duration as a person reads it.
std::string durationText(double ms)
{
    if (ms >= 10000)
        return printed("%.1f s", ms / 1000);
    if (ms >= 1000)
        return printed("%.2f s", ms / 1000);
    if (ms >= 100)
        return printed("%.0f ms", ms);
    if (ms >= 1)
        return printed("%.1f ms", ms);
    return printed("%.3f ms", ms);
}

// USB1001 for a USB reader, COMn for a serial port.
std::string portTitle(int port)
{
    return port >= kUsbPort && port <= kLastUsbPort ? "USB" + std::to_string(port) : PortName(port);
}

const char* exitMeaning(int code)
{
    switch (code) {
    case 0:
        return "passed";
    case 2:
        return "no reader found";
    case 3:
        return "no card or a failed read";
    case 4:
        return "library not loaded";
    case 5:
        return "library crashed or hung";
    case 74:
        return "output not written";
    case 130:
        return "interrupted";
    }
    return "failed";
}

std::string badge(int code)
{
    return std::string("<span class=\"badge ") + (code == 0 ? "ok" : "bad") + "\">" +
           std::to_string(code) + " · " + exitMeaning(code) + "</span>";
}

std::uint64_t failureCount(const RunSummary& s)
{
    std::uint64_t n = 0;
    for (const std::uint64_t f : s.failures)
        n += f;
    return n;
}

// A histogram of `stats` as an inline SVG: equal bins between the shortest
// and the longest duration, on a logarithmic scale when they lie far apart.
std::string histogram(const DurationStats& stats, const char* colour)
{
    const int width = 420, height = 170, left = 44, right = 12, top = 12, bottom = 30;
    const int plotW = width - left - right, plotH = height - top - bottom;
    const DurationSummary d = stats.summary();
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\" role=\"img\">";
    if (d.count == 0)
        return svg + "<text x=\"" + std::to_string(width / 2) + "\" y=\"" +
               std::to_string(height / 2) + "\" class=\"none\">no calls</text></svg>";
    const bool log = d.min > 0 && d.max / d.min > 30;
    const double lo = log ? std::log(d.min) : d.min;
    const double hi = log ? std::log(d.max) : d.max;
    const int bins = hi - lo > 1e-12 ? kBins : 1;
    std::vector<std::uint64_t> counts(std::size_t(bins), 0);
    for (const auto& [ms, n] : stats.spread()) {
        const double v = log ? std::log(std::max(ms, d.min)) : ms;
        int bin = bins == 1 ? 0 : int((v - lo) / (hi - lo) * bins);
        counts[std::size_t(std::clamp(bin, 0, bins - 1))] += n;
    }
    const std::uint64_t most = *std::max_element(counts.begin(), counts.end());
    const double barW = double(plotW) / bins;
    // Grid lines at a half and the whole of the highest bar.
    for (const double f : {0.5, 1.0}) {
        const double y = top + plotH * (1 - f);
        svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left + plotW) +
               "\" y1=\"" + num(y) + "\" y2=\"" + num(y) + "\" class=\"grid\"/>";
        svg += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + num(y + 4) +
               "\" class=\"ylab\">" + std::to_string(std::uint64_t(std::llround(most * f))) +
               "</text>";
    }
    for (int i = 0; i < bins; ++i) {
        if (counts[std::size_t(i)] == 0)
            continue;
        const double h = std::max(1.0, plotH * double(counts[std::size_t(i)]) / double(most));
        const double from = lo + (hi - lo) * i / bins, to = lo + (hi - lo) * (i + 1) / bins;
        svg += "<rect x=\"" + num(left + barW * i + 1) + "\" y=\"" + num(top + plotH - h) +
               "\" width=\"" + num(std::max(1.0, barW - 2)) + "\" height=\"" + num(h) +
               "\" rx=\"2\" fill=\"" + colour + "\"><title>" +
               durationText(log ? std::exp(from) : from) + " – " +
               durationText(log ? std::exp(to) : to) + ": " +
               std::to_string(counts[std::size_t(i)]) + "</title></rect>";
    }
    svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left + plotW) +
           "\" y1=\"" + std::to_string(top + plotH) + "\" y2=\"" + std::to_string(top + plotH) +
           "\" class=\"axis\"/>";
    const std::string y = std::to_string(height - 10);
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"" + y + "\" class=\"xlab start\">" +
           durationText(d.min) + "</text>";
    if (bins > 1) {
        const double mid = log ? std::exp((lo + hi) / 2) : (lo + hi) / 2;
        svg += "<text x=\"" + std::to_string(left + plotW / 2) + "\" y=\"" + y +
               "\" class=\"xlab\">" + durationText(mid) + (log ? " (log)" : "") + "</text>";
        svg += "<text x=\"" + std::to_string(left + plotW) + "\" y=\"" + y +
               "\" class=\"xlab end\">" + durationText(d.max) + "</text>";
    }
    return svg + "</svg>";
}

std::string figure(const std::string& title, const DurationStats& stats, const char* colour)
{
    const DurationSummary d = stats.summary();
    return "<figure><figcaption>" + HtmlEscaped(title) + "</figcaption>" +
           histogram(stats, colour) + "<div class=\"stats\">" + std::to_string(d.count) +
           " · median " + durationText(d.median) + " · p95 " + durationText(d.p95) + " · max " +
           durationText(d.max) + "</div></figure>";
}

// The failures of every reader on one time axis, a lane per reader.
std::string timeline(const HtmlRun& run)
{
    const int width = 900, left = 90, right = 20, top = 10, lane = 30, bottom = 34;
    const int plotW = width - left - right;
    const int height = top + lane * int(run.readers.size()) + bottom;
    double end = std::max(run.total.elapsedSeconds, 0.001);
    for (const ReaderRun& reader : run.readers)
        for (const FailureMark& mark : reader.failures)
            end = std::max(end, mark.seconds);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(height) + "\" role=\"img\">";
    for (int t = 0; t <= 5; ++t) {
        const double x = left + plotW * t / 5.0;
        svg += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" + std::to_string(top) +
               "\" y2=\"" + std::to_string(height - bottom) + "\" class=\"grid\"/>";
        svg += "<text x=\"" + num(x) + "\" y=\"" + std::to_string(height - bottom + 18) +
               "\" class=\"xlab\">" + printed(end >= 50 ? "%.0f s" : "%.1f s", end * t / 5) +
               "</text>";
    }
    for (std::size_t r = 0; r < run.readers.size(); ++r) {
        const ReaderRun& reader = run.readers[r];
        const int mid = top + lane * int(r) + lane / 2;
        svg += "<text x=\"" + std::to_string(left - 10) + "\" y=\"" + std::to_string(mid + 4) +
               "\" class=\"ylab\" fill=\"" + readerColour(r) + "\">" +
               HtmlEscaped(portTitle(reader.port)) + "</text>";
        svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left + plotW) +
               "\" y1=\"" + std::to_string(mid) + "\" y2=\"" + std::to_string(mid) +
               "\" class=\"lane\"/>";
        for (const FailureMark& mark : reader.failures) {
            const double x = left + plotW * mark.seconds / end;
            svg += "<rect x=\"" + num(x - 2) + "\" y=\"" + std::to_string(mid - 9) +
                   "\" width=\"4\" height=\"18\" rx=\"1\" fill=\"" +
                   kFailureColours[int(mark.kind)] + "\"><title>" +
                   printed("%.3f s: ", mark.seconds) + FailureKindName(mark.kind) +
                   "</title></rect>";
        }
    }
    return svg + "</svg>";
}

std::string summaryRow(const std::string& name, const std::string& samId, const RunSummary& s,
                       const char* colour, bool total)
{
    std::string row = total ? "<tr class=\"total\">" : "<tr>";
    row += "<td>" +
           (colour ? "<span class=\"dot\" style=\"background:" + std::string(colour) + "\"></span>"
                   : std::string()) +
           HtmlEscaped(name) + "</td>";
    row += "<td class=\"mono\">" + (samId.empty() ? "—" : HtmlEscaped(samId)) + "</td>";
    row += "<td class=\"n\">" + std::to_string(s.passes) + "</td>";
    row += "<td class=\"n\">" + std::to_string(s.cards) + "</td>";
    std::string kinds;
    for (int k = 0; k < kFailureKindCount; ++k)
        if (s.failures[k])
            kinds += std::string(kinds.empty() ? "" : ", ") + std::to_string(s.failures[k]) + " " +
                     FailureKindName(FailureKind(k));
    row += "<td class=\"n\">" + std::to_string(failureCount(s)) + "</td>";
    row += "<td>" + (kinds.empty() ? "—" : HtmlEscaped(kinds)) + "</td>";
    row += "<td class=\"n\">" + (s.pass.count ? durationText(s.pass.median) : "—") + "</td>";
    row += "<td class=\"n\">" + (s.pass.count ? durationText(s.pass.p95) : "—") + "</td>";
    row += "<td>" + badge(s.exitCode) + (s.interrupted ? " <small>interrupted</small>" : "") +
           "</td></tr>";
    return row;
}

const char* const kStyle = R"(
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans","Noto Sans CJK SC",sans-serif;color:#1f2937;background:#f3f4f6;margin:0}
main{max-width:940px;margin:0 auto;padding:28px 24px 40px}
header{display:flex;justify-content:space-between;align-items:flex-start;gap:16px;margin-bottom:18px}
h1{font-size:22px;margin:0 0 4px}h2{font-size:16px;margin:0 0 12px}
.sub{color:#6b7280;font-size:13px}.mono{font-family:ui-monospace,"DejaVu Sans Mono",monospace;font-size:12.5px}
section{background:#fff;border:1px solid #e5e7eb;border-radius:10px;padding:18px 20px;margin:16px 0;box-shadow:0 1px 2px rgba(0,0,0,.04)}
.cards{display:flex;gap:12px;margin:16px 0}.card{flex:1;background:#fff;border:1px solid #e5e7eb;border-radius:10px;padding:12px 16px}
.card b{display:block;font-size:24px;font-weight:650}.card span{color:#6b7280;font-size:12px;text-transform:uppercase;letter-spacing:.04em}
table{border-collapse:collapse;width:100%}th,td{padding:7px 8px;border-bottom:1px solid #eef0f3;text-align:left;vertical-align:middle}
th{font-size:12px;color:#6b7280;font-weight:600;text-transform:uppercase;letter-spacing:.03em}td.n,th.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}td:first-child{white-space:nowrap}td.mono{word-break:break-all;font-size:11.5px;color:#4b5563}
tr.total td{font-weight:650;border-top:2px solid #d1d5db;border-bottom:none}
.badge{display:inline-block;padding:2px 9px;border-radius:999px;font-size:12px;font-weight:600;white-space:nowrap}
.ok{background:#dcfce7;color:#166534}.bad{background:#fee2e2;color:#991b1b}
.dot{display:inline-block;width:10px;height:10px;border-radius:50%;margin-right:7px}
.grid3{display:grid;grid-template-columns:repeat(2,1fr);gap:14px}
figure{margin:0;border:1px solid #f0f1f4;border-radius:8px;padding:10px 10px 8px}
figcaption{font-weight:600;font-size:13px;margin-bottom:4px}.stats{color:#6b7280;font-size:12px;margin-top:2px}
svg{display:block;max-width:100%;height:auto}svg text{font:11px system-ui,sans-serif;fill:#6b7280}
svg .ylab{text-anchor:end}svg .xlab{text-anchor:middle}svg .start{text-anchor:start}svg .end{text-anchor:end}svg .none{text-anchor:middle}
svg .grid{stroke:#eef0f3}svg .axis{stroke:#9ca3af}svg .lane{stroke:#e5e7eb;stroke-width:2}
.legend{display:flex;flex-wrap:wrap;gap:14px;font-size:12px;color:#4b5563;margin-top:8px}
.legend i{display:inline-block;width:10px;height:10px;border-radius:2px;margin-right:5px;vertical-align:-1px}
footer{color:#9ca3af;font-size:12px;text-align:center}
)";

} // namespace

std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
                c == 0x7f)
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
    }
    return out;
}

std::string HtmlReport(const HtmlRun& run)
{
    const RunSummary& t = run.total;
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>Reader run report</title><style>";
    page += kStyle;
    page += "</style></head><body><main>";
    page += "<header><div><h1>Reader run report</h1><div class=\"sub\">" +
            HtmlEscaped(run.started) + " · " + HtmlEscaped(t.mode) + " · " +
            printed("%.1f s", t.elapsedSeconds) + " · " + std::to_string(run.readers.size()) +
            (run.readers.size() == 1 ? " reader" : " readers") + "</div><div class=\"sub mono\">" +
            HtmlEscaped(run.command) + "</div></div>" + badge(t.exitCode) + "</header>";

    page += "<div class=\"cards\"><div class=\"card\"><span>Passes</span><b>" +
            std::to_string(t.passes) + "</b></div><div class=\"card\"><span>Cards read</span><b>" +
            std::to_string(t.cards) + "</b></div><div class=\"card\"><span>Failures</span><b>" +
            std::to_string(failureCount(t)) +
            "</b></div><div class=\"card\"><span>Median pass</span><b>" +
            (t.pass.count ? durationText(t.pass.median) : "—") + "</b></div></div>";

    page += "<section><h2>Readers</h2><table><tr><th>Port</th><th>Security module</th>"
            "<th class=\"n\">Passes</th><th class=\"n\">Cards</th><th class=\"n\">Failures</th>"
            "<th>Kinds</th><th class=\"n\">Median</th><th class=\"n\">p95</th><th>Status</th></tr>";
    for (std::size_t i = 0; i < run.readers.size(); ++i) {
        const ReaderRun& r = run.readers[i];
        page += summaryRow(portTitle(r.port), r.samId, r.summary, readerColour(i), false);
    }
    if (run.readers.size() > 1)
        page += summaryRow("Total", "", t, nullptr, true);
    page += "</table><div class=\"sub\" style=\"margin-top:8px\">Library: <span class=\"mono\">" +
            HtmlEscaped(run.library) + "</span>" + (run.isVirtual ? " (virtual reader)" : "") +
            "</div></section>";

    page += "<section><h2>Pass durations</h2><div class=\"grid3\">";
    for (std::size_t i = 0; i < run.readers.size(); ++i)
        page += figure(portTitle(run.readers[i].port), run.readers[i].passes, readerColour(i));
    page += "</div></section>";

    std::map<TermbFunction, DurationStats> calls;
    for (const ReaderRun& r : run.readers)
        for (const auto& [call, stats] : r.calls)
            calls[call].merge(stats);
    page += "<section><h2>Reader call durations" +
            std::string(run.readers.size() > 1 ? " (all readers)" : "") +
            "</h2><div class=\"grid3\">";
    for (const auto& [call, stats] : calls)
        if (stats.count())
            page += figure(TermbFunctionName(call), stats, "#475569");
    page += "</div></section>";

    page += "<section><h2>Failures over time</h2>" + timeline(run) + "<div class=\"legend\">";
    for (int k = 0; k < kFailureKindCount; ++k)
        page += std::string("<span><i style=\"background:") + kFailureColours[k] + "\"></i>" +
                FailureKindName(FailureKind(k)) + "</span>";
    page += "</div></section><footer>zuviruzozozad-cli</footer></main></body></html>\n";
    return page;
}
