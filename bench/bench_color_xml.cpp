// Reading 100,000 colour elements on each route from an already parsed tree.
#include "BenchMain.h"
#include "support/Color.h"
#include "support/XMLDocument.h"
#include "support/XMLElement.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kColors = 100000;

// <colors><item><NSColor>...</NSColor></item>...</colors>: each item is the
// parent a libxml2-route reader is given and the holder a container reads.
const XMLDocument &colorDocument()
{
    static const XMLDocument doc = [] {
        XMLElement root = XMLElement::create("colors");
        for (int i = 0; i < kColors; ++i) {
            const double v = (i % 1000) / 1000.0;
            XMLElement item = root.addChild(XMLElement::create("item"));
            item.addChild(Color::colorWithCalibratedRed(v, 1 - v, v / 2, 1).freshXMLElement());
        }
        auto parsed = XMLDocument::parse(XMLDocument(root).xmlData());
        return std::move(*parsed);
    }();
    return doc;
}

void BM_ReadColorsLibxml2Route(benchmark::State &state)
{
    const XMLDocument &doc = colorDocument();
    xmlDocPtr xdoc = doc.xmlDoc();
    xmlNodePtr root = xmlDocGetRootElement(xdoc);
    for (auto _ : state) {
        double sum = 0;
        for (xmlNodePtr item = root->children; item; item = item->next) {
            if (item->type == XML_ELEMENT_NODE)
                sum += Color::colorWithXMLNode(item, xdoc).redComponent();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kColors);
}
BENCHMARK(BM_ReadColorsLibxml2Route)->Unit(benchmark::kMillisecond);

void BM_ReadColorsElementRoute(benchmark::State &state)
{
    const XMLDocument &doc = colorDocument();
    const XMLElement root = doc.rootElement();
    for (auto _ : state) {
        double sum = 0;
        for (XMLElement item = root.firstChildIfElement(); item; item = item.nextSiblingElement())
            sum += Color::objectWithXMLElement(item.firstChildIfElement()).redComponent();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kColors);
}
BENCHMARK(BM_ReadColorsElementRoute)->Unit(benchmark::kMillisecond);

// For scale: parsing the same document.
void BM_ParseColorDocument(benchmark::State &state)
{
    const QByteArray text = colorDocument().xmlData();
    for (auto _ : state) {
        auto doc = XMLDocument::parse(text);
        benchmark::DoNotOptimize(doc);
    }
    state.SetItemsProcessed(state.iterations() * kColors);
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ParseColorDocument)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
