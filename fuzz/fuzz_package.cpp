// Feeds arbitrary bytes to the package reader and the gzip reader: documents
// arrive from outside, so neither may crash, hang or take memory beyond its
// limits, and what the package reader accepts must write and read back.
#include "FuzzSupport.h"
#include "model/PackageArchive.h"

#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // Small limits so that the fuzzer explores the refusal paths quickly.
    PackageArchive::Limits limits;
    limits.maxEntrySize = 1 << 20;
    limits.maxTotalSize = 4 << 20;
    limits.maxUnpackedSize = 8 << 20;

    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    if (std::optional<PackageData> package = PackageArchive::read(in, limits)) {
        for (auto it = package->cbegin(); it != package->cend(); ++it) {
            if (PackageArchive::normalisedPath(it.key()) != it.key())
                __builtin_trap(); // only safe names may come out
        }
        QByteArray written;
        QBuffer out(&written);
        out.open(QIODevice::WriteOnly);
        if (PackageArchive::write(out, *package, 1) != PackageArchive::WriteStatus::Written)
            __builtin_trap();
        out.close();
        QBuffer again(&written);
        again.open(QIODevice::ReadOnly);
        std::optional<PackageData> reread = PackageArchive::read(again);
        if (!reread || *reread != *package)
            __builtin_trap(); // what we write must read back the same
    }

    QBuffer gz(&bytes);
    gz.open(QIODevice::ReadOnly);
    PackageArchive::gunzip(gz, limits);
    return 0;
}
