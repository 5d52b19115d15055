#pragma once

#include "platform/Geometry.h"
#include "support/Image.h"

#include <QCursor>
#include <QString>
#include <QStringList>
#include <optional>

#include <libxml/tree.h>

// A mouse cursor: one of the standard cursors, known by name, or a picture
// with a hot spot. A standard cursor keeps its name even where Qt has no
// such shape, so it is written back as it was read.
class Cursor
{
public:
    enum StandardCursor {
        NotStandard = -1,
        ArrowCursor,
        ClosedHandCursor,
        CrosshairCursor,
        DisappearingItemCursor,
        IBeamCursor,
        OpenHandCursor,
        PointingHandCursor,
        ResizeDownCursor,
        ResizeLeftCursor,
        ResizeLeftRightCursor,
        ResizeRightCursor,
        ResizeUpCursor,
        ResizeUpDownCursor,
    };

    // The arrow.
    Cursor() = default;
    explicit Cursor(StandardCursor standard) : m_standard(standard) {}
    // A custom cursor; without an image it shows as the arrow.
    Cursor(const std::optional<Image> &image, Point hotSpot);

    // The thirteen names in the order the writer compares them.
    static const QStringList &standardCursorNames();
    // NotStandard for a name that is none of them.
    static StandardCursor standardCursorNamed(const QString &name);

    StandardCursor standardCursor() const { return m_standard; }
    bool isStandard() const { return m_standard != NotStandard; }
    // "" for a custom cursor.
    QString standardCursorName() const;

    const std::optional<Image> &image() const { return m_image; }
    Point hotSpot() const { return m_hotSpot; }
    bool isSetOnMouseEntered() const { return m_setOnMouseEntered; }
    void setOnMouseEntered(bool on) { m_setOnMouseEntered = on; }
    bool isSetOnMouseExited() const { return m_setOnMouseExited; }
    void setOnMouseExited(bool on) { m_setOnMouseExited = on; }

    // The nearest Qt cursor; standard shapes Qt lacks get a close relative.
    QCursor toQCursor() const;

    // The <NSCursor> element appended to `parent`: `standardCursor` alone for
    // a standard cursor, else hot spot, image and the two flags.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // Reads the <NSCursor> child of `parent`; nothing for an unknown
    // standard name or a missing element.
    static std::optional<Cursor> cursorWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const Cursor &a, const Cursor &b);

private:
    StandardCursor m_standard = ArrowCursor;
    std::optional<Image> m_image;
    Point m_hotSpot;
    bool m_setOnMouseEntered = false;
    bool m_setOnMouseExited = false;
};
