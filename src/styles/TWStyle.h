#pragma once

#include "platform/Geometry.h"
#include "support/OrderedDictionary.h"
#include "support/XMLElement.h"

#include <QImage>
#include <QMetaType>
#include <QString>
#include <memory>

class QPainter;

// A named, reusable set of appearance settings. A graphic style (type 0)
// holds the groups "graphic" and "branch"; a map style (type 1) the group
// "map". Each group keeps its settings behind apply flags ("applyFill" ...),
// so a style may set only part of what it is applied to.
//
// Styles are shared: the library, themes and graphics' lookups hold the
// same object, so always keep them in a shared_ptr.
class TWStyle
{
public:
    enum Type { GraphicStyle = 0, MapStyle = 1 };

    static inline const QString GraphicGroup = QStringLiteral("graphic");
    static inline const QString BranchGroup = QStringLiteral("branch");
    static inline const QString MapGroup = QStringLiteral("map");
    static inline const QString TypeKey = QStringLiteral("TWStyleType");
    static inline const QString NameKey = QStringLiteral("TWStyleName");
    static inline const QString IDKey = QStringLiteral("TWStyleID");
    static inline const QString VersionKey = QStringLiteral("TWStyleVersion");
    static inline const QString Version = QStringLiteral("1.0");
    // The element name of the XML form.
    static inline const QString ElementName = QStringLiteral("TWStyle");

    // A new style of the type with its defaults, a fresh identifier and the
    // name "New Style".
    explicit TWStyle(int type = GraphicStyle);
    virtual ~TWStyle() = default;

    static std::shared_ptr<TWStyle> create(int type = GraphicStyle);
    // Null when the file cannot be read or holds no dictionary.
    static std::shared_ptr<TWStyle> createWithContentsOfFile(const QString &path);
    // Takes "TWStyleType", "TWStyleName" and "TWStyleID" out of the
    // dictionary into the fields; every other key stays in the properties.
    static std::shared_ptr<TWStyle> createWithProperties(const OrderedDictionary &properties);
    // A copy with the same identifier, name and properties.
    std::shared_ptr<TWStyle> copy() const;

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const QString &identifier() const { return m_identifier; }
    void setIdentifier(const QString &identifier) { m_identifier = identifier; }
    int type() const { return m_type; }
    void setType(int type) { m_type = type; }
    bool custom() const { return m_custom; }
    void setCustom(bool custom) { m_custom = custom; }

    const OrderedDictionary &properties() const { return m_properties; }
    // A paragraph style stored as text in the graphic text attributes is
    // dropped: it cannot be applied to a text.
    void setProperties(const OrderedDictionary &properties);
    // One group ("graphic", "branch", "map"); empty when absent.
    OrderedDictionary group(const QString &name) const;
    void setGroup(const QString &name, const OrderedDictionary &group);
    // A value of a group; invalid when absent.
    QVariant value(const QString &group, const QString &key) const;
    void setValue(const QString &group, const QString &key, const QVariant &value);
    // An apply flag of a group; false when absent.
    bool flag(const QString &group, const QString &key) const;

    // The properties with the four "TWStyle..." keys, the form of a file.
    OrderedDictionary fullProperties() const;
    // Writes fullProperties() atomically; false when it could not be written.
    bool writeToFile(const QString &path) const;

    // A graphic style takes the other's graphic settings (not its apply
    // flags); a map style stays as it is.
    void updatePropertiesToMatchStyle(const TWStyle &other);

    // --- the "TWStyle" element ---
    XMLElement freshXMLElement() const;
    // Null for a null element.
    static std::shared_ptr<TWStyle> objectWithXMLElement(const XMLElement &element);

    // --- previews (TWStyle_Preview.cpp) ---
    // A transparent picture of the size with drawInRect() in it.
    QImage previewOfSize(Size size);
    // Draws in map units (points, y down). A style without a name is named
    // "Untitled" first.
    void drawInRect(QPainter &painter, const Rect &rect);

private:
    // The box and the line under one shadow.
    void drawGraphicBoxInRect(QPainter &painter, const Rect &rect) const;
    void drawGraphicTextInRect(QPainter &painter, const Rect &rect);
    // The background and the colouring sample.
    void drawMapBackgroundInRect(QPainter &painter, const Rect &rect) const;
    void drawMapTitleInRect(QPainter &painter, const Rect &rect) const;

    QString m_name;
    QString m_identifier;
    OrderedDictionary m_properties;
    bool m_custom = false;
    int m_type = GraphicStyle;
};

class TWGraphicStyle : public TWStyle
{
public:
    TWGraphicStyle() : TWStyle(GraphicStyle) {}
};

class TWMapStyle : public TWStyle
{
public:
    TWMapStyle() : TWStyle(MapStyle) {}
};

using TWStylePointer = std::shared_ptr<TWStyle>;
Q_DECLARE_METATYPE(TWStylePointer)

// Styles travel inside dictionaries (themes) as their element.
namespace TWStyleXML {
bool registerStyleClass();
}
