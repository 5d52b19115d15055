#pragma once

#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "model/TWMapsDocOwner.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for Qt text.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace MapsDocTest {

// The smallest element a branch is built from: a shape, a text area and a
// branch number; `inner` (children, settings) follows them.
inline QByteArray branchElement(int number, const QByteArray &inner = {})
{
    const auto graphic = [number](const char *className, int kind) {
        return "<TWGraphic><class>" + QByteArray(className) + "</class><graphicNumber>" +
               QByteArray::number(number * 10 + kind) + "</graphicNumber></TWGraphic>";
    };
    return "<TWMapBranch><mainGraphic>" + graphic("TWRectangle", 1) +
           "</mainGraphic><enclosedTextArea>" + graphic("TWTextArea", 2) +
           "</enclosedTextArea><branchNumber>" + QByteArray::number(number) + "</branchNumber>" +
           inner + "</TWMapBranch>";
}

// Saved text without the graphic numbers, which are new at every load.
inline QByteArray withoutGraphicNumbers(const QByteArray &text)
{
    static const QRegularExpression numbers(QStringLiteral("<(\\w*[Gg]raphicNumber)>-?\\d+</\\1>"));
    return QString::fromUtf8(text).replace(numbers, QStringLiteral("<\\1/>")).toUtf8();
}

// `depth` branches each the only child of the one before, numbered from 1.
inline QByteArray branchChain(int depth)
{
    QByteArray tree;
    for (int level = depth; level >= 1; --level)
        tree = branchElement(level,
                             tree.isEmpty() ? QByteArray() : "<children>" + tree + "</children>");
    return tree;
}

// One list that notifications and the owner's calls are written into, so
// that tests can check their order against each other.
struct EventLog
{
    QStringList events;
    void clear() { events.clear(); }
};

// Records the named notifications (all senders) as "name" entries.
class NotificationRecorder
{
public:
    NotificationRecorder(EventLog &log, const QStringList &names) : m_log(log)
    {
        for (const QString &name : names) {
            m_tokens.push_back(NotificationCenter::defaultCenter().observe(
                name, nullptr, [this](const Notification &n) {
                    m_log.events.append(n.name);
                    m_notifications.append(n);
                }));
        }
    }

    const QList<Notification> &notifications() const { return m_notifications; }
    QList<Notification> named(const QString &name) const
    {
        QList<Notification> result;
        for (const Notification &n : m_notifications) {
            if (n.name == name)
                result.append(n);
        }
        return result;
    }
    void clear() { m_notifications.clear(); }

private:
    EventLog &m_log;
    std::vector<ObserverToken> m_tokens;
    QList<Notification> m_notifications;
};

// The document window as the maps document sees it.
class RecordingOwner : public TWMapsDocOwner
{
public:
    explicit RecordingOwner(EventLog &log) : m_log(log) {}

    void saveVisibleRectForCurrentMap() override
    {
        m_log.events.append("save visible rect");
        if (mapsDocument)
            mapSavedFor = mapsDocument->currentMap();
    }
    void restoreVisibleRectForCurrentMap() override { m_log.events.append("restore visible rect"); }
    void selectMapInMapsArrayController(const std::shared_ptr<TWMap> &map) override
    {
        m_log.events.append("select map");
        selectedMap = map;
    }

    std::shared_ptr<TWMap> selectedMap;
    // When set, the map whose scroll position was saved last.
    const TWMapsDoc *mapsDocument = nullptr;
    std::shared_ptr<TWMap> mapSavedFor;

private:
    EventLog &m_log;
};

// Collects qWarning lines while it lives.
class WarningCapture
{
public:
    WarningCapture()
    {
        instance() = this;
        m_previous = qInstallMessageHandler(&WarningCapture::handler);
    }
    ~WarningCapture()
    {
        qInstallMessageHandler(m_previous);
        instance() = nullptr;
    }
    WarningCapture(const WarningCapture &) = delete;
    WarningCapture &operator=(const WarningCapture &) = delete;

    const QStringList &lines() const { return m_lines; }
    bool contains(const QString &line) const { return m_lines.contains(line); }
    bool containsPrefix(const QString &prefix) const
    {
        for (const QString &line : m_lines) {
            if (line.startsWith(prefix))
                return true;
        }
        return false;
    }

private:
    static WarningCapture *&instance()
    {
        static WarningCapture *current = nullptr;
        return current;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (instance())
            instance()->m_lines.append(message);
    }

    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

// User defaults in a temporary file and recorded alerts, so that no test
// reads the user's own preferences or shows a panel.
class MapsDocFixture : public ::testing::Test
{
protected:
    MapsDocFixture()
        : defaults(tempDir.filePath("defaults.ini")), defaultsScope(&defaults), alertsScope(&alerts)
    {
        TWPreferences::registerDefaults(defaults);
    }

    // A document with an undo manager and `count` new maps, none current.
    std::shared_ptr<TWMapsDoc> documentWithMaps(int count)
    {
        std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
        for (int i = 0; i < count; ++i)
            document->addMap(TWMap::create(document.get()), false);
        document->setUndoManager(undo);
        return document;
    }

    QTemporaryDir tempDir;
    UserDefaults defaults;
    UserDefaults::Scope defaultsScope;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
};

} // namespace MapsDocTest
