// Reading RTF that sets many tab stops, as a pasted or imported text may:
// one paragraph with all of them, a paragraph per tab stop, tab stops set
// again in a group each, paragraphs that each add a tab stop to those of
// the paragraph before, and paragraphs of their own tab stops holding a bold
// word (runs that do not start where paragraphs do). The time per tab stop
// should not grow with their number.
#include "BenchMain.h"
#include "support/RichTextFormat.h"

#include <QByteArray>

namespace {

enum Form { OneParagraph = 0, ParagraphEach = 1, GroupEach = 2, Accumulating = 3, Formatted = 4 };

QByteArray rtfWithTabStops(Form form, int count)
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\pard ";
    for (int i = 0; i < count; ++i) {
        const QByteArray stop = (i % 3 == 1 ? "\\tqr\\tx" : "\\tx") + QByteArray::number(i % 9000);
        switch (form) {
        case OneParagraph:
            rtf += stop;
            break;
        case ParagraphEach:
            rtf += "\\pard" + stop + " a\\tab b\\par\n";
            break;
        case GroupEach:
            rtf += "{" + stop + " a\\tab b}\n";
            break;
        case Accumulating:
            rtf += stop + " a\\tab b\\par\n";
            break;
        case Formatted:
            rtf += "\\pard" + stop + " a{\\b b}\\tab c\\par\n";
            break;
        }
    }
    return rtf + " end\\par}";
}

void BM_ReadRtfTabStops(benchmark::State &state)
{
    const QByteArray rtf = rtfWithTabStops(Form(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        const auto text = RichTextFormat::attributedStringFromRTF(rtf);
        if (!text)
            state.SkipWithError("not read");
        benchmark::DoNotOptimize(text->length());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["tab stops"] = double(state.range(1));
}

BENCHMARK(BM_ReadRtfTabStops)
    ->ArgsProduct({{OneParagraph, ParagraphEach, GroupEach, Accumulating, Formatted}, {25000, 100000, 200000}})
    ->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
