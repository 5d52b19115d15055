#include "model/TWMap_Private.h"
#include "model/TWMapsDoc.h"
#include "platform/Random.h"
#include "support/Image.h"

#include <cmath>

namespace {

QString freshBackgroundPath(const char *extension)
{
    return QStringLiteral("Images/DocumentBackground%1/ExtractedImage.%2")
        .arg(Random::next())
        .arg(QLatin1String(extension));
}

// The picture's size when it can scale the other side; a missing or empty
// picture cannot.
std::optional<Size> proportionsOf(const std::shared_ptr<Image> &picture)
{
    if (!picture || !(picture->size().width > 0) || !(picture->size().height > 0))
        return std::nullopt;
    return picture->size();
}

} // namespace

std::shared_ptr<Image> TWMap::backgroundImage()
{
    if (!m_backgroundImage && m_backgroundImageFilename && m_document) {
        if (const std::optional<QByteArray> data =
                m_document->objectForKeyInCachedData(*m_backgroundImageFilename)) {
            if (std::optional<Image> image = Image::initWithData(*data))
                m_backgroundImage = std::make_shared<Image>(std::move(*image));
        }
    }
    return m_backgroundImage;
}

void TWMap::restoreBackgroundPicture(const std::shared_ptr<Image> &picture, bool locked)
{
    registerUndo([old = m_backgroundImage, oldLocked = m_backgroundImageScaleLocked](TWMap &m) {
        m.restoreBackgroundPicture(old, oldLocked);
    });
    m_backgroundImage = picture;
    m_backgroundImageScaleLocked = locked;
}

void TWMap::setBackgroundImage(const std::shared_ptr<Image> &image)
{
    if (image == backgroundImage())
        return;
    // Every step below records its own inverse; this one brings back the
    // picture object and the lock, which no setter records. Undo runs it
    // last, after the file name, data, size and opacity are back.
    restoreBackgroundPicture(image, m_backgroundImageScaleLocked);
    if (!image) {
        setBackgroundImageFilename(std::nullopt);
    } else {
        if (m_backgroundImageOpacity == 0.0f)
            setBackgroundImageOpacity(1.0f);
        setBackgroundImageWidth(image->size().width);
        setBackgroundImageHeight(image->size().height);
        setBackgroundImageScaleLocked(true);

        std::optional<QString> path;
        QByteArray data;
        for (const ImageRepresentation &rep : image->representations()) {
            if (const auto *pdf = std::get_if<PDFImageRep>(&rep)) {
                path = freshBackgroundPath("pdf");
                data = pdf->PDFRepresentation();
            } else if (const auto *eps = std::get_if<EPSImageRep>(&rep)) {
                path = freshBackgroundPath("eps");
                data = eps->EPSRepresentation();
            }
        }
        if (!path) {
            path = freshBackgroundPath("tiff");
            data = image->TIFFRepresentation();
        }
        if (m_document)
            m_document->setObjectInCachedData(data, *path);
        setBackgroundImageFilename(path);
        // The file name setter forgets the picture; this is the one it names.
        m_backgroundImage = image;
    }
    // Named last: the steps above name their own actions on the way.
    nameUndoAction("Change background image");
}

std::optional<QByteArray> TWMap::backgroundImageData() const
{
    if (!m_backgroundImageFilename || !m_document)
        return std::nullopt;
    return m_document->objectForKeyInCachedData(*m_backgroundImageFilename);
}

void TWMap::setBackgroundImageData(const std::optional<QByteArray> &data)
{
    std::optional<Image> image = data ? Image::initWithData(*data) : std::nullopt;
    setBackgroundImage(image ? std::make_shared<Image>(std::move(*image)) : nullptr);
}

void TWMap::setBackgroundImageOffsetX(float x)
{
    const float whole = std::trunc(x);
    if (whole != std::trunc(m_backgroundImageOffset.x))
        setBackgroundImageOffset(Point(whole, m_backgroundImageOffset.y));
}

void TWMap::setBackgroundImageOffsetY(float y)
{
    const float whole = std::trunc(y);
    if (whole != std::trunc(m_backgroundImageOffset.y))
        setBackgroundImageOffset(Point(m_backgroundImageOffset.x, whole));
}

void TWMap::setBackgroundImageWidth(float width)
{
    if (std::trunc(width) == std::trunc(m_backgroundImageSize.width))
        return;
    float height = m_backgroundImageSize.height;
    if (const std::optional<Size> picture = proportionsOf(backgroundImage());
        picture && m_backgroundImageScaleLocked)
        height = width / picture->width * picture->height;
    setBackgroundImageSize(Size(width, height));
}

void TWMap::setBackgroundImageHeight(float height)
{
    if (std::trunc(height) == std::trunc(m_backgroundImageSize.height))
        return;
    float width = m_backgroundImageSize.width;
    if (const std::optional<Size> picture = proportionsOf(backgroundImage());
        picture && m_backgroundImageScaleLocked)
        width = height / picture->height * picture->width;
    setBackgroundImageSize(Size(width, height));
}

void TWMap::setBackgroundImageScaleLocked(bool locked)
{
    if (locked == m_backgroundImageScaleLocked)
        return;
    m_backgroundImageScaleLocked = locked;
    if (!locked)
        return;
    if (const std::optional<Size> picture = proportionsOf(backgroundImage())) {
        const float width = m_backgroundImageSize.width;
        setBackgroundImageSize(Size(width, width / picture->width * picture->height));
    }
}
