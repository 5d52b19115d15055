#pragma once

#include "styles/TWStyle.h"
#include "styles/TWStyleManager.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace StyleTest {

// Points the user's data folder at a temporary one for the scope, so that
// the shared style library never reads or writes the real user's styles.
class ScopedDataHome
{
public:
    ScopedDataHome()
        : m_old(qgetenv("XDG_DATA_HOME")), m_hadOld(qEnvironmentVariableIsSet("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
    }
    ~ScopedDataHome()
    {
        if (m_hadOld)
            qputenv("XDG_DATA_HOME", m_old);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_hadOld;
};

// A graphic style that applies only the named groups.
inline std::shared_ptr<TWStyle> graphicStyleApplying(const QStringList &flags)
{
    auto style = TWStyle::create(TWStyle::GraphicStyle);
    for (const char *flag :
         {"applyFill", "applyStroke", "applyShadow", "applyCorner", "applyTerminator", "applyFont"})
        style->setValue(TWStyle::GraphicGroup, QString::fromLatin1(flag),
                        flags.contains(QString::fromLatin1(flag)));
    return style;
}

} // namespace StyleTest
