#pragma once

#include "graphics/TWGraphic.h"
#include "support/AttributedString.h"

#include <libxml/tree.h>

namespace TWXMLUtils {
class XPathReader;
}

// The line that joins a branch to its parent: a child connection between
// two branch shapes, or the wedge from the central branch to a first-level
// branch. This class keeps what both share: the sides the connection leaves
// and reaches (the layout reads them), and a line style, end decorations and
// a label that are stored and saved but not drawn.
//
// The setters register their inverse and post nothing: whoever changes the
// settings redraws and names the undo action.
class TWConnectionGraphic : public TWGraphic
{
public:
    // What the reader gives a field that the element leaves out.
    static constexpr float DefaultArrowLength = 20.0f;
    static constexpr float DefaultArrowWidth = 10.0f;

    QString className() const override { return QStringLiteral("TWConnectionGraphic"); }
    void init() override;

    int connectionToParentSide() const { return m_connectionToParentSide; }
    void setConnectionToParentSide(int side);
    int connectionFromParentSide() const { return m_connectionFromParentSide; }
    void setConnectionFromParentSide(int side);
    int parentConnectionLineStyle() const { return m_parentConnectionLineStyle; }
    void setParentConnectionLineStyle(int style);
    int endAtParent() const { return m_endAtParent; }
    void setEndAtParent(int end);
    int endAtChild() const { return m_endAtChild; }
    void setEndAtChild(int end);
    float parentArrowLength() const { return m_parentArrowLength; }
    void setParentArrowLength(float length);
    float parentArrowWidth() const { return m_parentArrowWidth; }
    void setParentArrowWidth(float width);
    float childArrowLength() const { return m_childArrowLength; }
    void setChildArrowLength(float length);
    float childArrowWidth() const { return m_childArrowWidth; }
    void setChildArrowWidth(float width);
    bool parentFilled() const { return m_parentFilled; }
    void setParentFilled(bool filled);
    bool childFilled() const { return m_childFilled; }
    void setChildFilled(bool filled);
    // Nothing, or an empty text, means no label.
    const std::optional<AttributedString> &label() const { return m_label; }
    void setLabel(const std::optional<AttributedString> &label);
    int labelDirection() const { return m_labelDirection; }
    void setLabelDirection(int direction);
    float labelAngle() const { return m_labelAngle; }
    void setLabelAngle(float angle);
    Point labelOffset() const { return m_labelOffset; }
    void setLabelOffset(Point offset);

    // The settings a branch gives a connection it makes or resets: sides 1
    // and 0, line style 0, no end decorations, arrows 20 by 10 and filled at
    // both ends, no label.
    void applyDefaultSettings();
    // Copies every connection setting of `other` through the setters.
    void copySettingsFrom(const TWConnectionGraphic &other);

    // Recomputes path and bounds from the graphics joined; the kinds do it.
    virtual void updateBounds() {}
    // Both ends, and all around them, moved by one offset: moves the curve
    // placed between the ends, without placing it again; false for a kind
    // that keeps none to move, which is fitted again once its ends moved.
    virtual bool moveCurveBy(float, float) { return false; }
    // Fits a connection that kept no curve to ends that slid by the offset,
    // within a whole-tree move: a fit that comes to the old bounds moved by
    // the offset is a slide, which keeps what was measured around it.
    virtual void fitAfterSlideBy(float, float) { updateBounds(); }

protected:
    // The bounds of such a fit.
    void setBoundsFittedAfterSlideBy(Rect fitted, float dx, float dy);

public:
    // updateBounds() now, or once at the end of the open batch.
    void requestBoundsUpdate();

    // While one is open, connections asked to follow their ends are
    // reshaped once, when the outermost batch closes, in the order first
    // asked: a layout that moves both ends of many connections would
    // otherwise shape each one twice. Connections of curved branches, whose
    // shapes are laid along them, are reshaped at once.
    class Batch
    {
    public:
        Batch();
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
    };

protected:
    // The shared children, in file order; reading them, missing or
    // unreadable children take the reader defaults and nothing is
    // registered for undo.
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;
    // Inverse registration and assignment for the plain fields.
    template <class T, class Self, class Arg>
    void setField(T &field, const T &value, void (Self::*setter)(Arg))
    {
        if (field == value)
            return;
        const T old = field;
        registerInverse([old, setter](TWGraphic &g) { (static_cast<Self &>(g).*setter)(old); });
        field = value;
    }

private:
    int m_connectionToParentSide = 1;
    int m_connectionFromParentSide = 0;
    int m_parentConnectionLineStyle = 0;
    int m_endAtParent = 0;
    int m_endAtChild = 0;
    float m_parentArrowLength = 0;
    float m_parentArrowWidth = 0;
    float m_childArrowLength = 0;
    float m_childArrowWidth = 0;
    bool m_parentFilled = false;
    bool m_childFilled = false;
    std::optional<AttributedString> m_label;
    int m_labelDirection = 0;
    float m_labelAngle = 0;
    Point m_labelOffset;
    // Which batch run the connection waits in, and where; a copy waits in none.
    struct BatchPlace
    {
        unsigned run = 0;
        size_t place = 0;
        BatchPlace() = default;
        BatchPlace(const BatchPlace &) {}
        BatchPlace &operator=(const BatchPlace &) { return *this; }
    };
    BatchPlace m_batchPlace;
};
