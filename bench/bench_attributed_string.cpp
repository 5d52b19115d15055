// Writing an attributed string of 10,000 runs to XML text and reading it back.
#include "BenchMain.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <QtGlobal>
#include <benchmark/benchmark.h>

namespace {

constexpr int kWords = 10000;

// Words that alternate colour and underline, with a font change every ten
// words and a paragraph style every hundred: about 10,000 runs in all passes.
const AttributedString &longText()
{
    static const AttributedString text = [] {
        QString string;
        for (int i = 0; i < kWords; ++i)
            string += QStringLiteral("word%1 ").arg(i);
        AttributedString s(string);
        const QVariant red = QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0, 1));
        const QVariant blue = QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1, 1));
        const QVariant bold = QVariant::fromValue(Font(QStringLiteral("DejaVuSans-Bold"), 12));
        const QVariant plain = QVariant::fromValue(Font(QStringLiteral("DejaVuSans"), 12));
        ParagraphStyle centred;
        centred.alignment = CenterTextAlignment;
        qsizetype at = 0;
        for (int i = 0; i < kWords; ++i) {
            const qsizetype length = QStringLiteral("word%1 ").arg(i).size();
            s.addAttribute(NSForegroundColorAttributeName, i % 2 ? red : blue, {at, length});
            if (i % 3 == 0)
                s.addAttribute(NSUnderlineStyleAttributeName, 1, {at, length});
            if (i % 10 == 0)
                s.addAttribute(NSFontAttributeName, (i / 10) % 2 ? bold : plain,
                               {at, std::min(length * 10, s.length() - at)});
            if (i % 100 == 0)
                s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred),
                               {at, length * 50});
            at += length;
        }
        return s;
    }();
    return text;
}

QByteArray write(const AttributedString &s)
{
    return TWXMLUtils::xmlRepresentation([&](xmlNodePtr root) { s.addXmlDataToNode(root); })
        .toUtf8();
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

void setRunCounters(benchmark::State &state)
{
    const double runs = double(longText().runCount());
    state.counters["runs"] = runs;
    // Seconds per run (shown with the unit of the rate counter inverted).
    state.counters["time_per_run"] = benchmark::Counter(
        runs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_WriteAttributedString(benchmark::State &state)
{
    const AttributedString &s = longText();
    for (auto _ : state)
        benchmark::DoNotOptimize(write(s));
    setRunCounters(state);
}
BENCHMARK(BM_WriteAttributedString)->Unit(benchmark::kMillisecond);

void BM_ReadAttributedString(benchmark::State &state)
{
    qInstallMessageHandler(quiet);
    const QByteArray xml = write(longText());
    for (auto _ : state) {
        xmlDocPtr doc = XMLDetail::parseToXmlDoc(xml);
        std::optional<AttributedString> s =
            AttributedString::initWithXMLNode(xmlDocGetRootElement(doc), doc);
        xmlFreeDoc(doc);
        if (!s || *s != longText())
            state.SkipWithError("the text did not read back equal");
        benchmark::DoNotOptimize(s);
    }
    setRunCounters(state);
    state.counters["bytes"] = double(xml.size());
}
BENCHMARK(BM_ReadAttributedString)->Unit(benchmark::kMillisecond);

void BM_WriteAndReadBack(benchmark::State &state)
{
    qInstallMessageHandler(quiet);
    for (auto _ : state) {
        const QByteArray xml = write(longText());
        xmlDocPtr doc = XMLDetail::parseToXmlDoc(xml);
        std::optional<AttributedString> s =
            AttributedString::initWithXMLNode(xmlDocGetRootElement(doc), doc);
        xmlFreeDoc(doc);
        benchmark::DoNotOptimize(s);
    }
    setRunCounters(state);
}
BENCHMARK(BM_WriteAndReadBack)->Unit(benchmark::kMillisecond);

// Building the same text by adding attributes word by word, for scale.
void BM_AddAttributesWordByWord(benchmark::State &state)
{
    const AttributedString &s = longText();
    for (auto _ : state) {
        AttributedString copy(s.string());
        for (qsizetype run = 0; run < s.runCount(); ++run)
            copy.addAttributes(s.runAttributes(run), s.runRange(run));
        benchmark::DoNotOptimize(copy);
    }
    setRunCounters(state);
}
BENCHMARK(BM_AddAttributesWordByWord)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
