// Feeds arbitrary bytes, as a snippet with an "XMLObj" root, to the readers
// of drawing values: bezier paths, images, cursors and glyph infos. What is
// read must write out again and read back to the same text, and the path
// geometry must cope with whatever the reader let through.
#include "FuzzSupport.h"
#include "support/BezierPath.h"
#include "support/Cursor.h"
#include "support/GlyphInfo.h"
#include "support/Image.h"
#include "support/TWXMLUtils.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

template <class T> QString snippet(const T &value)
{
    return TWXMLUtils::xmlRepresentation([&](xmlNodePtr root) { value.addXmlDataToNode(root); });
}

void checkPath(xmlNodePtr parent, xmlDocPtr doc)
{
    const BezierPath path = BezierPath::withXMLNode(parent, doc);
    const QString text = snippet(path);
    const std::optional<BezierPath> again = TWXMLUtils::fromXMLRepresentation(
        text, [](xmlNodePtr p, xmlDocPtr d) { return BezierPath::withXMLNode(p, d); });
    if (!again || snippet(*again) != text)
        __builtin_trap(); // what we write must read back as written

    path.bezierPathByFlatteningPath();
    path.intersectsPoint({1, 1});
    path.bezierPathLength();
    path.bounds();
    path.toQPainterPath();
    path.pen();
    // The offset compares every pair of samples: keep it to small paths.
    if (path.elementCount() < 64) {
        path.bezierPathOffsetVerticallyBy(3, false, 1.0f);
        path.bezierPathOffsetVerticallyBy(0, false);
    }
}

void checkImage(xmlNodePtr parent, xmlDocPtr doc)
{
    const std::optional<Image> image = Image::withXMLNode(parent, doc);
    if (!image)
        return;
    image->toQImage();
    image->freshXMLElement();
    const std::optional<Image> again =
        Image::imageFromXMLRepresentation(image->xmlRepresentation());
    if (!again || again->data() != image->data())
        __builtin_trap();
}

void checkCursor(xmlNodePtr parent, xmlDocPtr doc)
{
    const std::optional<Cursor> cursor = Cursor::cursorWithXMLNode(parent, doc);
    if (!cursor)
        return;
    cursor->toQCursor();
    const std::optional<Cursor> again =
        TWXMLUtils::fromXMLRepresentation(snippet(*cursor), [](xmlNodePtr p, xmlDocPtr d) {
            return Cursor::cursorWithXMLNode(p, d);
        });
    if (!again || snippet(*again) != snippet(*cursor))
        __builtin_trap();
}

void checkGlyphInfo(xmlNodePtr parent, xmlDocPtr doc)
{
    const std::optional<GlyphInfo> info = GlyphInfo::glyphInfoWithXMLNode(parent, doc);
    if (!info)
        return;
    const std::optional<GlyphInfo> again =
        TWXMLUtils::fromXMLRepresentation(snippet(*info), [](xmlNodePtr p, xmlDocPtr d) {
            return GlyphInfo::glyphInfoWithXMLNode(p, d);
        });
    if (!again || snippet(*again) != snippet(*info))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    // Cursors and painter paths need the GUI side of Qt.
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TWXMLUtils::fromXMLRepresentation(text, [](xmlNodePtr parent, xmlDocPtr doc) {
        checkPath(parent, doc);
        checkImage(parent, doc);
        checkCursor(parent, doc);
        checkGlyphInfo(parent, doc);
        return true;
    });
    return 0;
}
