// Saving and loading a document package of 200 MB of pictures, next to the
// system's `tar czf` and `tar xzf` on the same files.
#include "application/Startup.h"
#include "model/TWFileIO.h"

#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int pictureCount = 100;
constexpr qsizetype pictureSize = qsizetype(2) << 20;

// PNG-like bytes: the signature, then deterministic data as incompressible
// as a PNG's deflated image data.
QByteArray pictureBytes(quint32 seed)
{
    static const char signature[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
    QByteArray bytes(pictureSize, Qt::Uninitialized);
    std::memcpy(bytes.data(), signature, sizeof signature - 1);
    quint64 x = 0x9E3779B97F4A7C15ull * (seed + 1);
    auto *words = reinterpret_cast<quint64 *>(bytes.data() + 16);
    for (qsizetype i = 0; i < (pictureSize - 16) / 8; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        words[i] = x;
    }
    return bytes;
}

struct Package
{
    QTemporaryDir dir;
    QVariantMap saveDictionary;
    QString files;   // the same entries as files, for tar
    QString ours;    // a package saved by us
    QString tarball; // the same files packed by tar

    Package()
    {
        files = dir.filePath("files");
        ours = dir.filePath("ours.tweb");
        tarball = dir.filePath("tar.tweb");
        saveDictionary.insert("Thinkweb/Contents.xml",
                              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<TWMapsDoc>\n</TWMapsDoc>\n"));
        saveDictionary.insert("Thinkweb/fileVersion.txt", QStringLiteral("4.1"));
        for (int i = 0; i < pictureCount; ++i)
            saveDictionary.insert(QString("Images/Graphic%1/ExtractedImage.png").arg(i + 1),
                                  pictureBytes(quint32(i)));
        for (auto it = saveDictionary.cbegin(); it != saveDictionary.cend(); ++it) {
            const QString path = files + "/" + it.key();
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(path));
            const QVariant &value = it.value();
            file.write(value.typeId() == QMetaType::QString ? value.toString().toUtf8()
                                                            : value.toByteArray());
        }
        if (TWFileIO::savePackage(saveDictionary, ours) != TWFileIO::SaveSucceeded)
            qFatal("cannot save the package");
        tar({"czf", tarball, "Images", "Thinkweb"}, files);
    }

    static void tar(const QStringList &arguments, const QString &directory)
    {
        QProcess process;
        process.setWorkingDirectory(directory);
        process.start("tar", arguments);
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            qFatal("tar %s failed", qPrintable(arguments.join(' ')));
    }
};

Package &package()
{
    static Package instance;
    return instance;
}

void setBytes(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * pictureCount * pictureSize);
}

void BM_SavePackage(benchmark::State &state)
{
    Package &p = package();
    const QString target = p.dir.filePath("saved.tweb");
    for (auto _ : state) {
        if (TWFileIO::savePackage(p.saveDictionary, target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
    }
    setBytes(state);
}

void BM_TarCzf(benchmark::State &state)
{
    Package &p = package();
    const QString target = p.dir.filePath("tar-saved.tweb");
    for (auto _ : state)
        Package::tar({"czf", target, "Images", "Thinkweb"}, p.files);
    setBytes(state);
}

void BM_LoadPackage(benchmark::State &state)
{
    Package &p = package();
    for (auto _ : state) {
        const std::optional<PackageData> data = TWFileIO::documentDictionaryFromFile(p.ours);
        if (!data || data->size() != pictureCount + 2)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(data);
    }
    setBytes(state);
}

void BM_TarXzf(benchmark::State &state)
{
    Package &p = package();
    const QString target = p.dir.filePath("extracted");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        state.ResumeTiming();
        Package::tar({"xzf", p.tarball}, target);
    }
    setBytes(state);
}

// Seconds per run: a few runs are enough and tar runs in other processes.
#define PACKAGE_BENCHMARK(name)                                                                    \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)

PACKAGE_BENCHMARK(BM_SavePackage);
PACKAGE_BENCHMARK(BM_TarCzf);
PACKAGE_BENCHMARK(BM_LoadPackage);
PACKAGE_BENCHMARK(BM_TarXzf);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
