#pragma once

#include "support/ImageRepSupport.h"
#include "support/TWXMLProtocol.h"
#include "support/VectorImageRep.h"

#include <QMetaType>

// A PDF representation: the document's bytes, kept as they are. Its size is
// the first page's media box.
class PDFImageRep : public VectorImageRep<PDFImageRep>
{
public:
    const QByteArray &PDFRepresentation() const { return bytes(); }

private:
    friend class VectorImageRep<PDFImageRep>;
    static constexpr const char *elementName = "NSPDFImageRep";
    static constexpr const char *kindName = "PDF";
    static bool recognises(const QByteArray &data) { return ImageRepSupport::looksLikePDF(data); }
    static std::optional<Size> declaredSize(const QByteArray &data)
    {
        return ImageRepSupport::pdfMediaBoxSize(data);
    }
};

Q_DECLARE_METATYPE(PDFImageRep)
