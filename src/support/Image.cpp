#include "support/Image.h"

#include <QtDebug>

std::optional<Image> Image::initWithData(const QByteArray &data)
{
    Image image;
    if (std::optional<BitmapImageRep> bitmap = BitmapImageRep::imageRepWithData(data)) {
        image.m_dataType = bitmap->format();
        image.m_size = bitmap->size();
        image.m_representations.append(std::move(*bitmap));
    } else if (std::optional<PDFImageRep> pdf = PDFImageRep::imageRepWithData(data)) {
        image.m_dataType = "pdf";
        image.m_size = pdf->size();
        image.m_representations.append(std::move(*pdf));
    } else if (std::optional<EPSImageRep> eps = EPSImageRep::imageRepWithData(data)) {
        image.m_dataType = "eps";
        image.m_size = eps->size();
        image.m_representations.append(std::move(*eps));
    } else {
        return std::nullopt;
    }
    image.m_data = data;
    return image;
}

void Image::addRepresentation(const ImageRepresentation &rep)
{
    m_representations.append(rep);
}

void Image::removeRepresentation(int index)
{
    if (index >= 0 && index < m_representations.size())
        m_representations.removeAt(index);
}

QImage Image::toQImage() const
{
    for (const ImageRepresentation &rep : m_representations)
        if (const BitmapImageRep *bitmap = std::get_if<BitmapImageRep>(&rep))
            return bitmap->image();
    return {};
}

QByteArray Image::TIFFRepresentation() const
{
    for (const ImageRepresentation &rep : m_representations)
        if (const BitmapImageRep *bitmap = std::get_if<BitmapImageRep>(&rep))
            return bitmap->TIFFRepresentation();
    return {};
}

bool operator==(const Image &a, const Image &b)
{
    return a.m_data == b.m_data && a.m_dataType == b.m_dataType && a.m_size == b.m_size &&
           a.m_representations == b.m_representations &&
           a.m_backgroundColor == b.m_backgroundColor && a.m_name == b.m_name &&
           a.m_cacheDepthMatchesImageDepth == b.m_cacheDepthMatchesImageDepth &&
           a.m_cacheMode == b.m_cacheMode && a.m_isCachedSeparately == b.m_isCachedSeparately &&
           a.m_isDataRetained == b.m_isDataRetained && a.m_isFlipped == b.m_isFlipped &&
           a.m_matchesOnMultipleResolution == b.m_matchesOnMultipleResolution &&
           a.m_prefersColorMatch == b.m_prefersColorMatch &&
           a.m_scalesWhenResized == b.m_scalesWhenResized &&
           a.m_usesEPSOnResolutionMismatch == b.m_usesEPSOnResolutionMismatch;
}
