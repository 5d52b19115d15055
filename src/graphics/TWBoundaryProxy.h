#pragma once

#include "graphics/TWGraphic.h"

// Stands for a branch's boundary where a graphic is expected (selection,
// palettes, styles). It has no state of its own: the line and fill settings
// are the branch's boundary settings, its bounds are those of the boundary
// outline, and everything else is a fixed answer. It is never numbered,
// saved, read or moved.
class TWBoundaryProxy : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWBoundaryProxy"); }
    static bool hasCorner() { return true; }

    // The bounds it is given are ignored: the outline decides them.
    void initWithBounds(Rect) override { init(); }

    // --- forwarded to the branch's boundary settings ---
    std::optional<Color> strokeColor() const override;
    void setStrokeColor(const std::optional<Color> &color) override;
    std::optional<Color> fillColor() const override;
    void setFillColor(const std::optional<Color> &color) override;
    int strokeStyle() const override;
    void setStrokeStyle(int style) override;
    float strokeWidth() const override;
    void setStrokeWidth(float width) override;
    float cornerAmount() const override;
    void setCornerAmount(float amount) override;
    int cornerMode() const override;
    void setCornerMode(int mode) override;
    bool inheritsStroke() const override;
    void setInheritsStroke(bool inherits) override;
    bool drawsStroke() const override;
    void setDrawsStroke(bool draws) override;
    bool drawsFill() const override;
    void setDrawsFill(bool draws) override;
    // The boundary's own line colour, or the branch shape's when inherited.
    Color inheritedStrokeColor() const override;
    // The same for a branch, without making its proxy.
    static Color lineColorOf(const TWMapBranch &branch);

    // The bounds of the boundary outline (the zero rectangle without one).
    Rect bounds() const override;
    Rect cachedBounds() const override { return bounds(); }
    bool isMainGraphic() const override { return true; }

    // --- fixed answers; the setters do nothing ---
    bool inheritsFill() const override { return false; }
    void setInheritsFill(bool) override {}
    bool isBeingDragged() const override { return false; }
    void setIsBeingDragged(bool) override {}
    bool inheritsShadow() const override { return false; }
    void setInheritsShadow(bool) override {}
    bool drawsShadow() const override { return false; }
    void setDrawsShadow(bool) override {}
    std::optional<Shadow> shadow() const override { return std::nullopt; }
    void setShadow(const std::optional<Shadow> &) override {}
    int internalOrdering() const override { return 0; }
    void setInternalOrdering(int) override {}
    long graphicNumber() const override { return 0; }
    void setGraphicNumber(long) override {}
    long originalGraphicNumber() const override { return 0; }
    void setOriginalGraphicNumber(long) override {}
    QVariant linkBackData() const override { return {}; }
    void setLinkBackData(const QVariant &) override {}
    QString linkBackItemKey() override { return {}; }
    void setLinkBackItemKey(const QString &) override {}
    void setBounds(Rect) override {}
    bool slidesAlone() const override { return false; }
    void setCachedBounds(Rect) override {}
    std::shared_ptr<BezierPath> cachedBezierPath() const override { return nullptr; }
    void setCachedBezierPath(const std::shared_ptr<BezierPath> &) override {}

    // Never saved, and refused by the reader.
    void writeXml(XMLOut &, bool = false) override {}

protected:
    bool readKindXmlData(const TWXMLUtils::XPathReader &, xmlNodePtr, xmlDocPtr) override
    {
        return false;
    }
};
