// Finding a common word over generated documents of 1,000 to 100,000
// branches, labels and notes, as the find panel collects its results.

#include "BranchDocumentGenerator.h"
#include "application/Startup.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWFindController.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/SpellChecker.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

class Host : public TWCanvasHost
{
public:
    explicit Host(std::shared_ptr<TWMapsDoc> document) : m_document(std::move(document)) {}
    TWMapsDoc *mapsDocument() const override { return m_document.get(); }
    NotificationObject documentObject() const override { return NotificationObject(this); }
    void selectDadoZizTitle() override {}
    void saveTheme() override {}
    void addNewDefaultGraphicAtSavedLocation(Point) override {}
    bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &) override { return false; }

private:
    std::shared_ptr<TWMapsDoc> m_document;
};

// One document per size, built once: building dwarfs the search.
Host &hostOf(int count)
{
    static auto &built = *new std::map<int, std::unique_ptr<Host>>;
    auto it = built.find(count);
    if (it == built.end())
        it =
            built.emplace(count, std::make_unique<Host>(BranchDocument::makeDocument(count))).first;
    return *it->second;
}

// "part" is in every label three times and in every note twice; "more &"
// only once a run but in every text; "Branch 7" in few.
void BM_CollectFindResults(benchmark::State &state, const char *word)
{
    Host &host = hostOf(int(state.range(0)));
    TWFindController::setActiveDocumentProvider([&host] { return &host; });
    TWFindController controller;
    qsizetype found = 0;
    for (auto _ : state) {
        controller.setFindString(QString::fromLatin1(word));
        found = controller.findResults().size();
        controller.setFindString(QString());
        benchmark::DoNotOptimize(found);
    }
    state.counters["results"] = double(found);
    TWFindController::setActiveDocumentProvider(nullptr);
}

BENCHMARK_CAPTURE(BM_CollectFindResults, common, "part")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CollectFindResults, rare, "Branch 7")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The spelling walk's first step: every misspelled word of the map.
void BM_CollectSpellResults(benchmark::State &state)
{
    Host &host = hostOf(int(state.range(0)));
    TWFindController::setActiveDocumentProvider([&host] { return &host; });
    TWFindController controller;
    qsizetype found = 0;
    for (auto _ : state) {
        const auto results = controller.updatedSpellResults();
        found = results ? results->size() : 0;
        benchmark::DoNotOptimize(found);
    }
    state.counters["results"] = double(found);
    TWFindController::setActiveDocumentProvider(nullptr);
}

BENCHMARK(BM_CollectSpellResults)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    // "more" is reported in every text.
    WordListSpellChecker checker({"branch", "part"});
    SpellChecker::Scope checkerScope(&checker);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
