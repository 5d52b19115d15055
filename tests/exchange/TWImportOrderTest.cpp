// Outlines come into a map in the order of their file, on every level,
// whatever ordering and layout assistance the map has.
#include "OutlinerTestSupport.h"
#include "exchange/TWOPMLImportExport.h"

using namespace OutlinerTest;

namespace {

// "text{children}" for every branch below this one, in child order.
QString treeBelow(const TWMapBranch &branch)
{
    QStringList children;
    for (const auto &child : branch.children()) {
        const QString below = treeBelow(*child);
        children << textOf(*child) + (below.isEmpty() ? QString() : u'{' + below + u'}');
    }
    return children.join(u',');
}

// `items` first-level items "1", "2", ...; with `nested`, three children
// "k.1", "k.2", "k.3" below each.
struct Outline
{
    int items;
    bool nested;

    QStringList children(int k) const
    {
        if (!nested)
            return {};
        return {QStringLiteral("%1.1").arg(k), QStringLiteral("%1.2").arg(k),
                QStringLiteral("%1.3").arg(k)};
    }
    QString expected() const
    {
        QStringList out;
        for (int k = 1; k <= items; ++k)
            out << QString::number(k) + (nested ? u'{' + children(k).join(u',') + u'}' : QString());
        return out.join(u',');
    }
    // Each item written by `write` (text, children written already).
    QByteArray
    written(const std::function<QByteArray(const QString &, const QByteArray &)> &write) const
    {
        QByteArray out;
        for (int k = 1; k <= items; ++k) {
            QByteArray below;
            for (const QString &child : children(k))
                below += write(child, {});
            out += write(QString::number(k), below);
        }
        return out;
    }
};

QByteArray version2Item(const QString &text, const QByteArray &children)
{
    return "<dict><key>Cols</key><array><string></string><string>" + text.toUtf8() +
           "</string></array>" +
           (children.isEmpty() ? QByteArray()
                               : "<key>Children</key><array>" + children + "</array>") +
           "</dict>";
}

QByteArray version3Item(const QString &text, const QByteArray &children)
{
    return "<item><values><text><p><run><lit>" + text.toUtf8() +
           "</lit></run></p></text></values>" +
           (children.isEmpty() ? QByteArray() : "<children>" + children + "</children>") +
           "</item>";
}

QByteArray opmlOutline(const QString &text, const QByteArray &children)
{
    return "<outline text=\"" + text.toUtf8() + "\"" +
           (children.isEmpty() ? QByteArray("/>") : ">" + children + "</outline>");
}

const Outline Outlines[] = {{3, false}, {12, false}, {3, true}};

class ImportOrder : public Fixture
{
protected:
    // Every ordering mode and layout assistance a map can have.
    template <typename F> void inEveryMode(F &&check)
    {
        for (int ordering = 0; ordering <= 4; ++ordering)
            for (int assistance = 0; assistance <= 3; ++assistance) {
                SCOPED_TRACE(QStringLiteral("ordering %1, assistance %2")
                                 .arg(ordering)
                                 .arg(assistance)
                                 .toStdString());
                host.orderingMode = ordering;
                host.layoutAssistanceMode = assistance;
                check();
            }
    }
};

TEST_F(ImportOrder, OutlinerItemsComeInTheFilesOrder)
{
    inEveryMode([&] {
        for (const Outline &o : Outlines) {
            SCOPED_TRACE(o.expected().toStdString());
            TWMapsDoc *v2 = importer.openOOFile(
                writeFile("Two.ooutline", gzipped(plist(o.written(version2Item)))), false);
            ASSERT_NE(v2, nullptr);
            EXPECT_EQ(treeBelow(*v2->currentMap()->root()).toStdString(), o.expected().toStdString()) << "version 2";
            const TWMapBranch *v3 = importOutline("<root>" + o.written(version3Item) + "</root>");
            ASSERT_NE(v3, nullptr);
            EXPECT_EQ(treeBelow(*v3).toStdString(), o.expected().toStdString()) << "version 3";
        }
    });
}

TEST_F(ImportOrder, OPMLOutlinesComeInTheFilesOrder)
{
    inEveryMode([&] {
        for (const Outline &o : Outlines) {
            SCOPED_TRACE(o.expected().toStdString());
            TWMapsDoc *document = host.newDocument(QStringLiteral("Plan"), false);
            ASSERT_NE(document, nullptr);
            const QByteArray file = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body>" +
                                    o.written(opmlOutline) + "</body></opml>";
            ASSERT_TRUE(TWOPMLImportExport().importData(file, QStringLiteral("Plan"),
                                                        *document->currentMap()));
            EXPECT_EQ(treeBelow(*document->currentMap()->root()).toStdString(), o.expected().toStdString());
        }
    });
}

} // namespace
