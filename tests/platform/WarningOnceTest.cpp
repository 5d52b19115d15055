#include "platform/WarningOnce.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList *captured = nullptr;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (captured)
        captured->append(message);
}

} // namespace

TEST(WarningOnce, EachMessageIsWrittenTheFirstTimeOnly)
{
    struct Case
    {
        QList<const char *> given;
        QStringList written;
    };
    const Case cases[] = {
        {{"a", "a", "a"}, {"a"}},
        {{"a", "b", "a", "b"}, {"a", "b"}},
        {{"a", "a b", "a"}, {"a", "a b"}},
        {{}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.written.join(',').toStdString());
        WarningOnce log;
        QStringList lines;
        captured = &lines;
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        QList<bool> answers;
        for (const char *message : c.given)
            answers.append(log.warn(message));
        qInstallMessageHandler(previous);
        captured = nullptr;
        EXPECT_EQ(lines, c.written);
        EXPECT_EQ(answers.count(true), c.written.size());
    }
    // Logs apart say their messages apart.
    WarningOnce first, second;
    EXPECT_TRUE(first.warn("x"));
    EXPECT_TRUE(second.warn("x"));
}
