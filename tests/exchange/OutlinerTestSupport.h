#pragma once

#include "OutlinerMemoryHost.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

namespace OutlinerTest {

inline QByteArray gzipped(const QByteArray &data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// A version 3 outline around the given elements.
inline QByteArray outline(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<outline xmlns=\"http://example.org/xmlns/outline/v3\">" +
           body + "</outline>";
}

// A version 2 property list whose root item has the given children.
inline QByteArray plist(const QByteArray &children, int version = 6)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>Version</key><integer>" +
           QByteArray::number(version) +
           "</integer><key>Root Item</key><dict><key>Children</key><array>" + children +
           "</array></dict></dict></plist>";
}

inline QString textOf(const TWMapBranch &branch)
{
    return branch.enclosedTextArea() ? branch.enclosedTextArea()->text().string() : QString();
}

inline QString noteText(const TWMapBranch &branch, int index)
{
    return branch.objectInAttachedTextArrayAtIndex(index)->text()->string();
}

class Fixture : public ::testing::Test
{
protected:
    Fixture()
        : defaults(dir.filePath(QStringLiteral("defaults.ini"))), defaultsScope(&defaults),
          alertsScope(&alerts)
    {
        TWPreferences::registerDefaults(defaults);
        importer.setHost(&host);
    }
    ~Fixture() override { NotificationQueue::defaultQueue().flush(); }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot write " << name.toStdString();
        file.write(bytes);
        return file.fileName();
    }
    // A package folder holding contents.xml with the bytes.
    QString writePackage(const QString &name, const QByteArray &contents) const
    {
        QDir(dir.path()).mkpath(name);
        writeFile(name + QStringLiteral("/contents.xml"), contents);
        return path(name);
    }

    // The central branch of the document imported from a version 3 outline.
    TWMapBranch *importOutline(const QByteArray &body, const QString &name = "Plan.oo3")
    {
        TWMapsDoc *document =
            importer.openOOFile(writeFile(name, OutlinerTest::gzipped(outline(body))), true);
        return document ? document->currentMap()->root().get() : nullptr;
    }

    QTemporaryDir dir;
    UserDefaults defaults;
    UserDefaults::Scope defaultsScope;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    OutlinerMemoryHost host;
    TWOmniOutlineImporter importer;
};

} // namespace OutlinerTest
