#include "PackageArchive.h"

#include "model/PackageArchive_Private.h"
#include "model/PackageReader.h"

#include <QIODevice>
#include <QList>
#include <QSet>
#include <QtDebug>

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <vector>

namespace PackageArchive {
namespace {

constexpr qint64 ioChunk = qint64(1) << 20;

struct WriteArchiveDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};
struct EntryDeleter
{
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};
using WriteArchive = std::unique_ptr<archive, WriteArchiveDeleter>;
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

QString printable(const char *text)
{
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

// ---- writing

struct WriteSink
{
    QIODevice *device = nullptr;
    bool failed = false;
};

la_ssize_t writeToDevice(archive *a, void *context, const void *buffer, size_t length)
{
    auto *sink = static_cast<WriteSink *>(context);
    const qint64 n = sink->device->write(static_cast<const char *>(buffer), qint64(length));
    if (n != qint64(length)) {
        sink->failed = true;
        archive_set_error(a, EIO, "%s", qUtf8Printable(sink->device->errorString()));
        return -1;
    }
    return la_ssize_t(n);
}

bool writeHeader(archive *a, const QString &name, mode_t type, mode_t permissions, qint64 size,
                 time_t mtime)
{
    Entry entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), type);
    archive_entry_set_perm(entry.get(), permissions);
    archive_entry_set_size(entry.get(), size);
    archive_entry_set_mtime(entry.get(), mtime, 0);
    const int status = archive_write_header(a, entry.get());
    if (status == ARCHIVE_WARN)
        qWarning("Package entry \"%s\": %s", qUtf8Printable(name),
                 qUtf8Printable(printable(archive_error_string(a))));
    return status >= ARCHIVE_WARN;
}

bool writeData(archive *a, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const la_ssize_t n = archive_write_data(a, data, size_t(std::min(left, ioChunk)));
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

} // namespace

QString normalisedPath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return {};
    QStringList parts;
    for (const QStringView part : QStringView(path).split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == u".")
            continue;
        if (part == u".." || part.contains(QChar(0)))
            return {};
        parts.append(part.toString());
    }
    return parts.join(QLatin1Char('/'));
}

WriteStatus write(QIODevice &out, const PackageData &entries, int compressionLevel)
{
    // Normalise first so that two spellings of one path give one entry.
    PackageData files;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QString name = normalisedPath(it.key());
        if (name.isEmpty()) {
            qWarning("Cannot save package entry \"%s\": not a relative path",
                     qUtf8Printable(it.key()));
            continue;
        }
        files.insert(name, it.value());
    }

    const Utf8NamesScope utf8Names;
    WriteArchive a(archive_write_new());
    WriteSink sink{&out};
    const QByteArray level = QByteArray::number(std::clamp(compressionLevel, 0, 9));
    // Blocks are only the unit handed to the device; the gzip stream itself
    // must not be padded, or gzip reports trailing garbage.
    if (archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK ||
        archive_write_add_filter_gzip(a.get()) != ARCHIVE_OK ||
        archive_write_set_filter_option(a.get(), "gzip", "compression-level", level.constData()) !=
            ARCHIVE_OK ||
        archive_write_set_bytes_per_block(a.get(), 64 * 1024) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open(a.get(), &sink, nullptr, writeToDevice, nullptr) != ARCHIVE_OK) {
        qWarning("Cannot start document package: %s",
                 qUtf8Printable(printable(archive_error_string(a.get()))));
        return sink.failed ? WriteStatus::OutputFailed : WriteStatus::EntryFailed;
    }

    const time_t now = std::time(nullptr);
    QSet<QString> folders;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString &name = it.key();
        bool written = true;
        // Folder entries as tar itself makes them, each before its first file.
        for (qsizetype slash = name.indexOf(QLatin1Char('/')); written && slash > 0;
             slash = name.indexOf(QLatin1Char('/'), slash + 1)) {
            const QString folder = name.left(slash + 1);
            if (folders.contains(folder))
                continue;
            folders.insert(folder);
            written = writeHeader(a.get(), folder, AE_IFDIR, 0755, 0, now);
        }
        written = written && writeHeader(a.get(), name, AE_IFREG, 0644, it.value().size(), now) &&
                  writeData(a.get(), it.value());
        if (!written) {
            qWarning("Cannot save package entry \"%s\": %s", qUtf8Printable(name),
                     qUtf8Printable(printable(archive_error_string(a.get()))));
            return sink.failed ? WriteStatus::OutputFailed : WriteStatus::EntryFailed;
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        qWarning("Cannot finish document package: %s",
                 qUtf8Printable(printable(archive_error_string(a.get()))));
        return WriteStatus::OutputFailed;
    }
    return WriteStatus::Written;
}

std::optional<PackageData> read(QIODevice &in, const Limits &limits, ReadStatus *status)
{
    ReadStatus ignored;
    ReadStatus &outcome = status ? *status : ignored;
    PackageReader reader(in, limits);
    PackageData data;
    if (reader.open()) {
        while (reader.nextEntry()) {
            const QString &name = reader.entryName();
            reader.forgetKept(data.value(name).size()); // a later entry replaces an earlier one
            std::optional<QByteArray> bytes = reader.readEntry();
            if (!bytes)
                break;
            data.insert(name, *bytes);
        }
    }
    outcome = reader.status();
    if (reader.failed())
        return std::nullopt;
    return data;
}

std::optional<QByteArray> gunzip(QIODevice &in, const Limits &limits)
{
    z_stream stream{};
    // 16 + MAX_WBITS: gzip wrapper only, as gunzip accepts.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    const std::unique_ptr<z_stream, int (*)(z_stream *)> guard(&stream, inflateEnd);

    const qint64 bound = limits.maxTotalSize;
    std::vector<char> input(ioChunk);
    QByteArray output;
    qint64 produced = 0;
    bool inMember = false; // part of a member has been fed and its end not yet seen
    bool anyMember = false;
    for (;;) {
        if (stream.avail_in == 0) {
            const qint64 n = in.read(input.data(), qint64(input.size()));
            if (n < 0) {
                qWarning("Cannot read gzip data: %s", qUtf8Printable(in.errorString()));
                return std::nullopt;
            }
            if (n == 0)
                break;
            stream.next_in = reinterpret_cast<Bytef *>(input.data());
            stream.avail_in = uInt(n);
        }
        if (!inMember && anyMember)
            inflateReset(&stream); // a further member follows the one that ended
        inMember = true;
        // Until the input is used up and inflate no longer fills the whole
        // output space (it may still hold output when the space ran out).
        do {
            if (output.size() - produced < ioChunk) {
                if (produced + ioChunk > output.capacity())
                    output.reserve(std::max(output.capacity() * 2, produced + ioChunk));
                output.resize(produced + ioChunk);
            }
            stream.next_out = reinterpret_cast<Bytef *>(output.data() + produced);
            stream.avail_out = uInt(output.size() - produced);
            const uInt before = stream.avail_out;
            const int status = inflate(&stream, Z_NO_FLUSH);
            produced += before - stream.avail_out;
            if (produced > bound) {
                qWarning("Refusing gzip data: it unpacks to more than %lld bytes",
                         static_cast<long long>(bound));
                return std::nullopt;
            }
            if (status == Z_STREAM_END) {
                inMember = false;
                anyMember = true;
                if (stream.avail_in == 0)
                    break;
                inflateReset(&stream);
                inMember = true;
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                qWarning("Cannot read gzip data: %s",
                         stream.msg ? stream.msg : "not in gzip format");
                return std::nullopt;
            }
        } while (stream.avail_in > 0 || stream.avail_out == 0);
    }
    if (inMember || !anyMember) {
        qWarning("Cannot read gzip data: unexpected end of file");
        return std::nullopt;
    }
    output.truncate(produced);
    return output;
}

} // namespace PackageArchive
