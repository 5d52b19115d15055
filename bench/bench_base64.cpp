// Base64 of a 16 MB buffer, with a plain memcpy of the same buffer in the
// same run as the yardstick.
#include "BenchMain.h"
#include "support/Base64.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

constexpr qsizetype kSize = 16 * 1024 * 1024;

const QByteArray &buffer()
{
    static const QByteArray data = [] {
        QByteArray d(kSize, Qt::Uninitialized);
        QRandomGenerator generator(42);
        generator.fillRange(reinterpret_cast<quint32 *>(d.data()), kSize / 4);
        return d;
    }();
    return data;
}

void BM_Memcpy(benchmark::State &state)
{
    const QByteArray &in = buffer();
    QByteArray out(kSize, Qt::Uninitialized);
    for (auto _ : state) {
        std::memcpy(out.data(), in.constData(), size_t(kSize));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_Base64Encode(benchmark::State &state)
{
    const QByteArray &in = buffer();
    for (auto _ : state) {
        QByteArray text = TWBase64::encode(in);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond);

void BM_Base64Decode(benchmark::State &state)
{
    const QByteArray text = TWBase64::encode(buffer());
    for (auto _ : state) {
        QByteArray out = TWBase64::decode(text);
        benchmark::DoNotOptimize(out.data());
    }
    // Measured against the decoded size, like the other two.
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);

// The string forms the XML readers and writers use.
void BM_Base64StringRoundTrip(benchmark::State &state)
{
    const QByteArray &in = buffer();
    for (auto _ : state) {
        const QString text = TWBase64::twBase64String(in);
        std::optional<QByteArray> out = TWBase64::dataWithTWBase64String(text);
        benchmark::DoNotOptimize(out->data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(BM_Base64StringRoundTrip)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
