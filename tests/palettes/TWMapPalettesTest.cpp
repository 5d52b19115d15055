// The map palettes act on every map picked in the document's tabs: their
// check boxes show a mixed state where the picked maps differ, and their
// buttons change each picked map.
#include "BranchTestSupport.h"

#include "palettes/TWPaletteGroup.h"
#include "palettes/TWPaletteHost.h"
#include "palettes/TWPaletteMapping.h"
#include "platform/RecordingAlerts.h"
#include "support/Image.h"

#include <QCheckBox>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The document window as the palettes see it, with the maps a test picks.
class PickedMapsHost : public QObject, public TWPaletteHost
{
public:
    explicit PickedMapsHost(TWMapsDoc *document) : m_document(document) {}

    QObject *hostObject() override { return this; }
    TWMapsDoc *mapsDocument() const override { return m_document; }
    UndoManager *undoManager() const override { return m_document->undoManager(); }
    TWGraphicBindingController *graphicBindingController() const override { return nullptr; }
    TWGraphicView *graphicView() const override { return nullptr; }
    QList<std::shared_ptr<TWMap>> selectedMaps() const override { return m_picked; }
    QMetaObject::Connection connectSelectedMapsChanged(QObject *receiver,
                                                       std::function<void()> slot) override
    {
        return connect(this, &QObject::objectNameChanged, receiver, std::move(slot));
    }
    void scaleToFitMapOnSinglePage() override {}
    void orderFrontFontPanel() override {}

    void pick(const QList<std::shared_ptr<TWMap>> &maps)
    {
        m_picked = maps;
        setObjectName(QStringLiteral("picked %1").arg(++m_picks));
    }

private:
    TWMapsDoc *m_document;
    QList<std::shared_ptr<TWMap>> m_picked;
    int m_picks = 0;
};

class MapPalettes : public BranchTest::BranchFixture
{
protected:
    MapPalettes() : alertsScope(&alerts), host(document.get())
    {
        other = TWMap::create(document.get());
        document->addMap(other, false);
        host.pick({map, other});
        palettes.setDocument(&host);
    }
    ~MapPalettes() override { palettes.setDocument(nullptr); }

    // The maps picked anew, as when the tabs picked change.
    void repick(const QList<std::shared_ptr<TWMap>> &maps)
    {
        host.pick({});
        host.pick(maps);
        settle();
    }
    // The palette's check boxes, top to bottom.
    QList<QCheckBox *> boxesOf(const QString &palette) const
    {
        QWidget *view = palettes.paletteDictionary().value(palette).palette;
        return view ? view->findChildren<QCheckBox *>() : QList<QCheckBox *>();
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    std::shared_ptr<TWMap> other;
    PickedMapsHost host;
    TWMapPalettes palettes;
};

TEST_F(MapPalettes, EveryCheckBoxShowsPickedMapsThatDifferAsMixed)
{
    struct Case
    {
        const QString &palette;
        int row;
        bool (TWMap::*get)() const;
        void (TWMap::*set)(bool);
    };
    const Case cases[] = {
        {TWPaletteIDs::MapViewOptions, 0, &TWMap::showAttachedGraphics,
         &TWMap::setShowAttachedGraphics},
        {TWPaletteIDs::MapViewOptions, 1, &TWMap::showBoundaries, &TWMap::setShowBoundaries},
        {TWPaletteIDs::MapViewOptions, 2, &TWMap::showCollapseSign, &TWMap::setShowCollapseSign},
        {TWPaletteIDs::MapViewOptions, 3, &TWMap::showLinkLines, &TWMap::setShowLinkLines},
        {TWPaletteIDs::MapOutlineNumbering, 0, &TWMap::showOutlineNumbers,
         &TWMap::setShowOutlineNumbers},
        {TWPaletteIDs::MapTasks, 0, &TWMap::showCheckboxes, &TWMap::setShowCheckboxes},
        {TWPaletteIDs::MapTasks, 1, &TWMap::showPercentComplete, &TWMap::setShowPercentComplete},
        {TWPaletteIDs::MapTasks, 2, &TWMap::showPriorities, &TWMap::setShowPriorities},
    };
    for (const Case &c : cases) {
        const QList<QCheckBox *> boxes = boxesOf(c.palette);
        ASSERT_GT(boxes.size(), c.row) << c.palette.toStdString();
        QCheckBox *box = boxes.at(c.row);
        SCOPED_TRACE(box->text().toStdString());
        for (const bool first : {true, false}) {
            (map.get()->*c.set)(first);
            (other.get()->*c.set)(!first);
            repick({map, other});
            EXPECT_EQ(box->checkState(), Qt::PartiallyChecked) << first;
        }
        // Alike, the box shows their setting; a click sets both, and undoing
        // it shows them as they were.
        (map.get()->*c.set)(true);
        (other.get()->*c.set)(true);
        repick({map, other});
        EXPECT_EQ(box->checkState(), Qt::Checked);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        settle();
        EXPECT_FALSE((map.get()->*c.get)());
        EXPECT_FALSE((other.get()->*c.get)());
        EXPECT_EQ(box->checkState(), Qt::Unchecked);
        undo->undo();
        settle();
        EXPECT_TRUE((map.get()->*c.get)());
        EXPECT_TRUE((other.get()->*c.get)());
        EXPECT_EQ(box->checkState(), Qt::Checked);
        // One map picked: its own setting, never mixed.
        (map.get()->*c.set)(false);
        repick({map});
        EXPECT_EQ(box->checkState(), Qt::Unchecked);
    }
}

TEST_F(MapPalettes, TheBackgroundButtonsChangeEveryPickedMap)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString picture = dir.filePath(QStringLiteral("sky.png"));
    QImage sky(40, 30, QImage::Format_RGB32);
    sky.fill(Qt::blue);
    ASSERT_TRUE(sky.save(picture));
    const QString notAPicture = dir.filePath(QStringLiteral("notes.png"));
    {
        QFile file(notAPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    auto third = TWMap::create(document.get());
    document->addMap(third, false);
    const auto pictures = [&] {
        return std::vector<bool>{bool(map->backgroundImage()), bool(other->backgroundImage()),
                                 bool(third->backgroundImage())};
    };
    const struct
    {
        const char *what;
        std::function<void()> act;
        std::vector<bool> expected;
        int alerts;
    } cases[] = {
        {"set",
         [&] { EXPECT_TRUE(palettes.setBackgroundImageFromFile(picture)); },
         {true, true, false},
         0},
        {"an unreadable file keeps the pictures",
         [&] { EXPECT_FALSE(palettes.setBackgroundImageFromFile(notAPicture)); },
         {true, true, false},
         1},
        {"cleared", [&] { palettes.clearBackgroundImage(); }, {false, false, false}, 1},
        {"chosen in the panel",
         [&] {
             alerts.queueOpenResponse({picture});
             palettes.setBackgroundImage();
         },
         {true, true, false},
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        c.act();
        EXPECT_EQ(pictures(), c.expected);
        EXPECT_EQ(alerts.alerts().size(), c.alerts);
    }
    // The picture chosen, on both.
    ASSERT_TRUE(map->backgroundImage());
    ASSERT_TRUE(other->backgroundImage());
    EXPECT_GT(map->backgroundImage()->size().width, 0);
    EXPECT_EQ(other->backgroundImage()->size(), map->backgroundImage()->size());
}

} // namespace
