#pragma once

#include <QString>
#include <libxml/tree.h>

// A font as a text from Windows names it: a family-like name, a size and two
// flags. Mapped to an installed font only where attributed strings are read.
class TWWinFont
{
public:
    TWWinFont() = default;
    // Bold before italic, as callers pass them.
    TWWinFont(const QString &name, double size, bool isBold, bool isItalic)
        : m_name(name), m_size(size), m_italic(isItalic), m_bold(isBold)
    {}

    // A null string when the element gave no name.
    const QString &name() const { return m_name; }
    double size() const { return m_size; }
    bool italic() const { return m_italic; }
    bool bold() const { return m_bold; }

    // <TWWinFont> with `name`, `size` ("%f"), `bold` and `italic` ("YES"/"NO").
    // There is no element-route form.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // `parent` is the node holding <TWWinFont>. Never fails: no name, 10
    // points and neither bold nor italic where children are missing.
    static TWWinFont fontWithXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const TWWinFont &a, const TWWinFont &b)
    {
        return a.m_name == b.m_name && a.m_name.isNull() == b.m_name.isNull() &&
               a.m_size == b.m_size && a.m_italic == b.m_italic && a.m_bold == b.m_bold;
    }
    friend bool operator!=(const TWWinFont &a, const TWWinFont &b) { return !(a == b); }

private:
    QString m_name;
    double m_size = 0.0;
    bool m_italic = false;
    bool m_bold = false;
};

// The attribute key under which a text run carries its TWWinFont.
inline const QString TWWinFontAttributeName = QStringLiteral("TWWinFontAttributeName");
