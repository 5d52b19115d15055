#include "support/TWImageLoader.h"

#include "platform/UserDefaults.h"
#include "support/ImageRepSupport.h"
#include "support/TWImageEncryption.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <atomic>

namespace {

// -1 until the user default has been read.
std::atomic<int> epsEnabled{-1};

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

namespace TWImageLoader {

void registerImageTypes()
{
    epsEnabled = UserDefaults::standard().boolForKey(DisableEPSImageLoadingKey) ? 0 : 1;
}

bool epsImageLoadingEnabled()
{
    if (epsEnabled < 0) {
        // Defaults belong to the main thread; a worker that comes first sees
        // the switch in its unset state.
        if (!onMainThread())
            return true;
        registerImageTypes();
    }
    return epsEnabled == 1;
}

QStringList plainImageFileTypes()
{
    return {"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp", "pdf", "eps"};
}

QStringList encipheredBitmapFileTypes()
{
    return {"twpng", "twjpg"};
}

QStringList encipheredEPSFileTypes()
{
    return {"tweps"};
}

QStringList imageFileTypes()
{
    QStringList types = plainImageFileTypes() + encipheredBitmapFileTypes();
    if (epsImageLoadingEnabled())
        types += encipheredEPSFileTypes();
    return types;
}

bool isImageFileType(const QString &extension)
{
    return imageFileTypes().contains(extension.toLower());
}

bool isImageFile(const QString &path)
{
    return isImageFileType(QFileInfo(path).suffix());
}

bool canInitEPSWithData(const QByteArray &deciphered)
{
    if (deciphered.size() >= dosEPSHeaderLength &&
        ImageRepSupport::looksLikeEPS(deciphered.mid(dosEPSHeaderLength)))
        return true;
    return ImageRepSupport::looksLikeEPS(deciphered);
}

std::optional<Image> imageWithData(const QByteArray &bytes, const QString &extension)
{
    const QString type = extension.toLower();
    if (!isImageFileType(type))
        return std::nullopt;
    QByteArray data = bytes;
    if (encipheredBitmapFileTypes().contains(type)) {
        data = TWImageEncryption::decryptedData(bytes);
    } else if (encipheredEPSFileTypes().contains(type)) {
        data = TWImageEncryption::decryptedData(bytes);
        if (!canInitEPSWithData(data))
            return std::nullopt;
        // A DOS header is read by the interpreter itself; any other header
        // would stop it, so only the PostScript behind it is kept.
        if (!ImageRepSupport::looksLikeEPS(data))
            data = data.mid(dosEPSHeaderLength);
    }
    return Image::initWithData(data);
}

std::optional<QByteArray> pictureData(const QByteArray &bytes, const QString &extension)
{
    const std::optional<Image> image = imageWithData(bytes, extension);
    return image ? std::optional<QByteArray>(image->data()) : std::nullopt;
}

std::optional<Image> imageWithContentsOfFile(const QString &path)
{
    const QFileInfo info(path);
    if (!isImageFileType(info.suffix()) || !info.isFile() || info.size() > maxFileSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return imageWithData(file.readAll(), info.suffix());
}

std::optional<QByteArray> dataWithContentsOfFile(const QString &path)
{
    const std::optional<Image> image = imageWithContentsOfFile(path);
    return image ? std::optional<QByteArray>(image->data()) : std::nullopt;
}

} // namespace TWImageLoader
