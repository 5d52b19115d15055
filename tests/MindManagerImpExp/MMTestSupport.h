#pragma once

#include <QString>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

#include "MindManagerImpExp/MMXMLBaseObject.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <string>

namespace MMTest {

// The prefixes of a map file, and one of an add-in the reader does not know.
inline const char *kNamespaces = " xmlns:cor=\"http://example.org/cor\""
                                 " xmlns:ap=\"http://example.org/ap\""
                                 " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                                 " xmlns:x=\"http://example.org/add-in\"";

// The object written into a fresh tree, without the indentation the writer
// adds between elements.
inline QString written(const MMXMLBaseObject &object)
{
    static const QRegularExpression indentation(QStringLiteral(">\\s+<"));
    XMLTree out = XMLTree::initWithName("out");
    return object.createSubtreeInTree(out).description().replace(indentation, QStringLiteral("><"));
}

// The element's text read as the class and written back into a fresh tree.
inline QString roundTrip(const MMElementClass &cls, const QString &element)
{
    const XMLTree source =
        XMLTree::initWithString(QStringLiteral("<w%1>%2</w>").arg(kNamespaces, element));
    EXPECT_FALSE(source.isNull()) << element.toStdString();
    if (source.isNull())
        return QString();
    MMObjectPtr object = MMXMLBaseObject::initWithXMLTree(cls, source.childAtIndex(0));
    EXPECT_TRUE(object);
    if (!object)
        return QString();
    return written(*object);
}

// Collects the log lines written while it lives.
class LogLines
{
public:
    LogLines() : m_previous(qInstallMessageHandler(&handler)) { current() = this; }
    ~LogLines()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    LogLines(const LogLines &) = delete;
    LogLines &operator=(const LogLines &) = delete;
    const QStringList &lines() const { return m_lines; }
    int count(const QString &line) const { return int(m_lines.count(line)); }
    std::string text() const { return m_lines.join(QLatin1Char('\n')).toStdString(); }

private:
    static LogLines *&current()
    {
        static LogLines *instance = nullptr;
        return instance;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current())
            current()->m_lines.append(message);
    }
    QtMessageHandler m_previous;
    QStringList m_lines;
};

struct RoundTripCase
{
    const MMElementClass &(*cls)();
    const char *input;
    const char *expected;
};

inline void expectRoundTrips(std::initializer_list<RoundTripCase> cases)
{
    for (const RoundTripCase &c : cases)
        EXPECT_EQ(roundTrip(c.cls(), QString::fromUtf8(c.input)), QString::fromUtf8(c.expected))
            << c.input;
}

} // namespace MMTest
