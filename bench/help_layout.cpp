// Qt's layout of the costliest pages the help viewer still shows: tables
// nested as deep as the bounds allow, the most elements, the most text and
// the deepest nesting; and the scan that measures a page before Qt sees it.
// Every page must stay well under a second.
//
// Run: QT_QPA_PLATFORM=offscreen build/default/bench/help_layout_bench

#include "HelpViewer.h"

#include <QApplication>
#include <QTextBrowser>
#include <benchmark/benchmark.h>
#include <functional>

namespace {

// The page `grow` makes with the largest count the bounds accept.
QString largestAccepted(const std::function<QString(int)>& grow) {
    int n = 1;
    while (vemba::CheapToLayOut(grow(n * 2))) {
        n *= 2;
    }
    for (int step = n / 2; step > 0; step /= 2) {
        n += vemba::CheapToLayOut(grow(n + step)) ? step : 0;
    }
    return grow(n);
}

QString nested(const QString& open, const QString& close, int n) {
    return open.repeated(n) + QStringLiteral("x") + close.repeated(n);
}

const std::pair<const char*, std::function<QString(int)>> kPages[] = {
    {"tables",
     [](int n) {
         return nested("<table border=1><tr><td>a</td><td>",
                       "</td></tr><tr><td>c</td></tr></table>", n);
     }},
    {"rows",
     [](int n) { return "<table>" + QString("<tr><td>a</td><td>b</td></tr>").repeated(n); }},
    {"paragraphs", [](int n) { return QString("<p>words words</p>").repeated(n); }},
    {"text", [](int n) { return QString("words ").repeated(n); }},
    {"divs", [](int n) { return nested("<div>", "</div>", n); }},
    {"spans", [](int n) { return QString("<span>").repeated(n) + "x"; }},
};

void layOut(benchmark::State& state, const std::function<QString(int)>& grow) {
    const QString page = largestAccepted(grow);
    QTextBrowser browser;
    browser.resize(580, 500);
    for (auto _ : state) {
        browser.setHtml(page);
        benchmark::DoNotOptimize(browser.document()->size());
    }
    state.counters["chars"] = static_cast<double>(page.size());
}

void scan(benchmark::State& state) {
    const QString page = largestAccepted(kPages[2].second);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vemba::CheapToLayOut(page));
    }
    state.counters["chars"] = static_cast<double>(page.size());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    for (const auto& [name, grow] : kPages) {
        benchmark::RegisterBenchmark(name, layOut, grow)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("scan", scan)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
