// Outlines come into a map in the order of their file, on every level,
// whatever ordering and layout assistance the map has.
#include "OutlinerTestSupport.h"
#include "exchange/TWOPMLImportExport.h"

#include <QCryptographicHash>

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

// Every branch's text and shape, to the point, walking the tree.
QString placesBelow(const TWMapBranch &branch)
{
    QString out;
    for (const auto &child : branch.children()) {
        const Rect r = child->mainGraphic()->bounds();
        out += QStringLiteral("%1@%2,%3,%4,%5;")
                   .arg(textOf(*child))
                   .arg(qRound(r.x()))
                   .arg(qRound(r.y()))
                   .arg(qRound(r.width()))
                   .arg(qRound(r.height()));
        out += u'{' + placesBelow(*child) + u'}';
    }
    return out;
}

// Every branch's text and shape to the last bit of each coordinate.
QString exactPlacesBelow(const TWMapBranch &branch)
{
    QString out;
    for (const auto &child : branch.children()) {
        const Rect r = child->mainGraphic()->bounds();
        out += textOf(*child) + u'@';
        for (const float v : {r.x(), r.y(), r.width(), r.height()})
            out += QString::number(double(v), 'g', 9) + u',';
        out += u'{' + exactPlacesBelow(*child) + QStringLiteral("};");
    }
    return out;
}

// `items` first-level items "1", "2", ...; with `nested`, three children
// "k.1", "k.2", "k.3" below each, and `grandchildren` below each of those
// ("k.c.1", ...).
struct Outline
{
    int items;
    bool nested;
    int perItem = 3;
    int grandchildren = 0;

    QStringList children(const QString &parent, int count) const
    {
        QStringList out;
        for (int c = 1; c <= count; ++c)
            out << parent + u'.' + QString::number(c);
        return out;
    }
    QString expected() const
    {
        QStringList out;
        for (int k = 1; k <= items; ++k) {
            QStringList below;
            for (const QString &child : children(QString::number(k), nested ? perItem : 0))
                below << child + (grandchildren > 0
                                      ? u'{' + children(child, grandchildren).join(u',') + u'}'
                                      : QString());
            out << QString::number(k) + (below.isEmpty() ? QString() : u'{' + below.join(u',') + u'}');
        }
        return out.join(u',');
    }
    // Each item written by `write` (text, children written already).
    QByteArray
    written(const std::function<QByteArray(const QString &, const QByteArray &)> &write) const
    {
        QByteArray out;
        for (int k = 1; k <= items; ++k) {
            QByteArray below;
            for (const QString &child : children(QString::number(k), nested ? perItem : 0)) {
                QByteArray leaves;
                for (const QString &leaf : children(child, grandchildren))
                    leaves += write(leaf, {});
                below += write(child, leaves);
            }
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

const Outline Outlines[] = {{3, false}, {12, false}, {3, true}, {2, true, 3, 2}};

class ImportOrder : public Fixture
{
protected:
    // Every ordering mode and layout assistance a map can have (any other
    // ordering mode reads as the first).
    template <typename F> void inEveryMode(F &&check)
    {
        for (int ordering = 1; ordering <= 4; ++ordering)
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

// Where the branches of an imported outline end up, in every ordering mode
// and layout assistance, as recorded when every branch was grown and sorted
// on its own: an import that grows a parent's children together and sorts
// them once must place them all the same.
TEST_F(ImportOrder, ImportedBranchesStandWhereOneByOneGrowthPutThem)
{
    struct Case
    {
        const char *format;
        Outline outline;
        const char *digest;
    };
    const Case cases[] = {
        {"opml", {3, false}, "c427dab9e7e0fbfa"},  {"opml", {12, false}, "15da6374e22ec188"},
        {"opml", {3, true}, "346165516e96f70f"},   {"opml", {40, false}, "766a4575c80035b0"},
        {"v2", {12, false}, "5b417ac770ffad90"},   {"v2", {3, true}, "dc3775a26841ca61"},
        {"v3", {12, false}, "b74dcd3b073a634b"},   {"v3", {3, true}, "8ce03686e8e5fbe2"},
        {"v3", {40, false}, "52c3da57771b9c35"},   {"opml", {2, true, 30}, "ef46460ab825d7eb"},
        {"v3", {3, true, 25}, "183cd4b4ce1bef5d"},
    };
    for (const Case &c : cases) {
        const QString name =
            QStringLiteral("%1 %2%3")
                .arg(QLatin1String(c.format))
                .arg(c.outline.items)
                .arg(c.outline.nested ? QStringLiteral(" of %1").arg(c.outline.perItem)
                                      : QString());
        SCOPED_TRACE(name.toStdString());
        QString places;
        inEveryMode([&] {
            const TWMapBranch *central = nullptr;
            if (c.format == std::string_view("opml")) {
                TWMapsDoc *document = host.newDocument(QStringLiteral("Plan"), false);
                const QByteArray file =
                    "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body>" +
                    c.outline.written(opmlOutline) + "</body></opml>";
                if (document && TWOPMLImportExport().importData(file, QStringLiteral("Plan"),
                                                                *document->currentMap()))
                    central = document->currentMap()->root().get();
            } else if (c.format == std::string_view("v2")) {
                TWMapsDoc *v2 = importer.openOOFile(
                    writeFile("Two.ooutline", gzipped(plist(c.outline.written(version2Item)))),
                    false);
                central = v2 ? v2->currentMap()->root().get() : nullptr;
            } else {
                central = importOutline("<root>" + c.outline.written(version3Item) + "</root>");
            }
            ASSERT_NE(central, nullptr);
            places +=
                QStringLiteral("%1/%2:").arg(host.orderingMode).arg(host.layoutAssistanceMode) +
                placesBelow(*central) + u'\n';
        });
        EXPECT_EQ(QCryptographicHash::hash(places.toUtf8(), QCryptographicHash::Md5)
                      .toHex()
                      .left(16)
                      .toStdString(),
                  c.digest)
            << places.toStdString();
    }
}

// The outliner's version 2 import places each branch as it grows: every
// coordinate of every branch, in every ordering mode and layout assistance,
// as recorded when each was placed and its siblings sorted on their own.
// Items "1" to "9" measure alike, so sorting meets equal places.
TEST_F(ImportOrder, Version2BranchesStandExactlyWhereOneByOneGrowthPutThem)
{
    struct Case
    {
        Outline outline;
        const char *digest;
    };
    const Case cases[] = {
        {{12, false}, "e35ee34a8ec324f2"},    {{40, false}, "e74353e287a6c769"},
        {{3, true}, "144b01a871411db8"},      {{2, true, 30}, "d3308ea38413b7e1"},
        {{1, true, 60}, "795fc6b33ef6a53d"},  {{12, true, 12}, "e7f78e0e0d90cc27"},
        {{1, true, 12, 3}, "9b3f1fadf3263f45"}, {{2, true, 6, 5}, "6184e51ccfd39dd9"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.outline.expected().toStdString());
        QString places;
        inEveryMode([&] {
            TWMapsDoc *v2 = importer.openOOFile(
                writeFile("Two.ooutline", gzipped(plist(c.outline.written(version2Item)))), false);
            ASSERT_NE(v2, nullptr);
            places += QStringLiteral("%1/%2:").arg(host.orderingMode).arg(host.layoutAssistanceMode) +
                      exactPlacesBelow(*v2->currentMap()->root()) + u'\n';
        });
        EXPECT_EQ(QCryptographicHash::hash(places.toUtf8(), QCryptographicHash::Md5)
                      .toHex()
                      .left(16)
                      .toStdString(),
                  c.digest)
            << places.toStdString();
    }
}

} // namespace
