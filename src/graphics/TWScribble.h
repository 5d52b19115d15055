#pragma once

#include "graphics/TWGraphic.h"

#include <QList>

#include <libxml/tree.h>

namespace TWXMLUtils {
class XPathReader;
}

// Free-hand ink: strokes, each with its own colour, as a pen draws them on
// the canvas. A new scribble holds one empty black stroke.
class TWScribble : public TWGraphic
{
public:
    struct Stroke
    {
        std::optional<Color> color;
        std::shared_ptr<BezierPath> path;
        friend bool operator==(const Stroke &, const Stroke &) = default;
    };
    static constexpr float DefaultThickness = 3.0f;

    QString className() const override { return QStringLiteral("TWScribble"); }
    void init() override;

    // Starts a stroke in the colour (the current one when none is given),
    // `thickness` wide with round joins; the canvas adds the pen's points
    // to path().
    void newPathColored(const std::optional<Color> &color);
    const std::shared_ptr<BezierPath> &path() const { return m_path; }
    float thickness() const { return m_thickness; }
    const Color &currColor() const { return m_currColor; }

    const QList<Stroke> &paths() const { return m_paths; }
    int countOfPaths() const { return int(m_paths.size()); }
    Stroke objectInPathsAtIndex(int index) const { return m_paths.at(index); }
    QList<Stroke> getPaths(int location, int length) const { return m_paths.mid(location, length); }
    // Undoable.
    void insertObjectInPathsAtIndex(const Stroke &stroke, int index);
    void removeObjectFromPathsAtIndex(int index);
    void replaceObjectInPathsAtIndex(int index, const Stroke &stroke);

protected:
    void addKindXmlData(XMLOut &out, bool embeddingBinaryData) override;
    // Replaces the strokes by those of the element; a "path" without a
    // colour reads as a stroke without one. The last stroke becomes the
    // current one (an empty path where it has none; a new stroke when the
    // element holds none).
    bool readKindXmlData(const TWXMLUtils::XPathReader &reader, xmlNodePtr element,
                         xmlDocPtr doc) override;

private:
    void adoptLastStroke();

    QList<Stroke> m_paths;
    float m_thickness = DefaultThickness;
    Color m_currColor = Color::colorWithCalibratedRed(0, 0, 0, 1);
    std::shared_ptr<BezierPath> m_path;
};
