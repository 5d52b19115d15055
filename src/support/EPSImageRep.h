#pragma once

#include "support/ImageRepSupport.h"
#include "support/TWXMLProtocol.h"
#include "support/VectorImageRep.h"

#include <QMetaType>

// An EPS representation: the PostScript bytes, kept as they are. Its size is
// the bounding box the file declares.
class EPSImageRep : public VectorImageRep<EPSImageRep>
{
public:
    const QByteArray &EPSRepresentation() const { return bytes(); }

private:
    friend class VectorImageRep<EPSImageRep>;
    static constexpr const char *elementName = "NSEPSImageRep";
    static constexpr const char *kindName = "EPS";
    static bool recognises(const QByteArray &data) { return ImageRepSupport::looksLikeEPS(data); }
    static std::optional<Size> declaredSize(const QByteArray &data)
    {
        return ImageRepSupport::epsBoundingBoxSize(data);
    }
};

Q_DECLARE_METATYPE(EPSImageRep)
