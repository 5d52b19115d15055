#include "BranchTestSupport.h"

#include "interface/KeyPathObserver.h"
#include "palettes/MapsSelection.h"

#include <QCheckBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class KeyPaths : public BranchTest::BranchFixture
{};

// Two small objects of a chain "holder.inner.value" for the observer alone.
struct Inner
{
    int value = 0;
};
struct Holder
{
    Inner *inner = nullptr;
};
const QString InnerChanged = "KeyPathTestInnerChanged";
const QString ValueChanged = "KeyPathTestValueChanged";

TEST_F(KeyPaths, TheObserverRebindsWhenALinkOfTheChainChanges)
{
    KeyPathObserver::registerLink("inner", {[](const void *h) {
                                                return KeyPathObserver::objectVariant(
                                                    static_cast<const Holder *>(h)->inner);
                                            },
                                            {InnerChanged}});
    KeyPathObserver::registerLink(
        "value", {[](const void *i) { return QVariant(static_cast<const Inner *>(i)->value); },
                  {ValueChanged}});
    // The first key names the root itself.
    KeyPathObserver::registerLink(
        "holder", {[](const void *h) { return KeyPathObserver::objectVariant(h); }, {}});
    Inner first{1}, second{2};
    Holder holder{&first};
    KeyPathObserver rooted(&holder, "holder.inner.value");
    EXPECT_EQ(rooted.value(), QVariant(1));
    int announced = 0;
    QObject::connect(&rooted, &KeyPathObserver::valueChanged, [&announced] { ++announced; });

    NotificationCenter &center = NotificationCenter::defaultCenter();
    const struct
    {
        const char *name;
        std::function<void()> change;
        QVariant expected;
    } cases[] = {
        {"last link", [&] { first.value = 5, center.post(ValueChanged, &first); }, 5},
        {"middle link", [&] { holder.inner = &second, center.post(InnerChanged, &holder); }, 2},
        {"old object is no longer followed",
         [&] { first.value = 9, center.post(ValueChanged, &first); }, 2},
        {"new object is", [&] { second.value = 7, center.post(ValueChanged, &second); }, 7},
        {"a broken chain has no value",
         [&] { holder.inner = nullptr, center.post(InnerChanged, &holder); }, QVariant()},
    };
    for (const auto &c : cases) {
        c.change();
        QCoreApplication::processEvents();
        EXPECT_EQ(rooted.value(), c.expected) << c.name;
    }
    EXPECT_EQ(announced, 4) << "the unfollowed object changed nothing";
}

TEST_F(KeyPaths, TheCurrentMapsZoomFollowsTheCurrentMap)
{
    auto other = TWMap::create(document.get());
    document->addMap(other, false);
    map->setZoomAmount(150);
    other->setZoomAmount(75);
    KeyPathObserver::registerLink(
        "mapsDocument", {[](const void *d) { return KeyPathObserver::objectVariant(d); }, {}});
    KeyPathObserver zoom(document.get(), "mapsDocument.currentMap.zoomAmount");
    EXPECT_EQ(zoom.value().toFloat(), 150);
    document->setCurrentMapNumber(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(zoom.value().toFloat(), 75);
}

TEST_F(KeyPaths, PickedMapsShowMixedAndAreSetTogether)
{
    auto other = TWMap::create(document.get());
    document->addMap(other, false);
    MapsSelection picked;
    picked.setMaps({map, other});
    map->setShowLinkLines(true);
    other->setShowLinkLines(false);
    EXPECT_TRUE(MapsSelection::isMixed(picked.valueForKey("showLinkLines")));

    QWidget palette;
    auto *box = new QCheckBox("Link lines", &palette);
    box->adjustSize();
    palette.show();
    KeyValueBinders::bindCheckBox(box, &picked, "showLinkLines");
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(MapsSelection::mixedAsMinusOne(picked.valueForKey("showLinkLines")), QVariant(-1));
    EXPECT_EQ(MapsSelection::mixedAsMinusOne(true), QVariant(1));

    picked.toggle("showLinkLines");
    EXPECT_TRUE(map->showLinkLines());
    EXPECT_TRUE(other->showLinkLines());
    picked.toggle("showLinkLines");
    EXPECT_FALSE(map->showLinkLines());
    EXPECT_FALSE(other->showLinkLines());
    EXPECT_EQ(box->checkState(), Qt::Unchecked);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(map->showLinkLines());
    EXPECT_TRUE(other->showLinkLines());

    picked.setValueForKey(MapsSelection::mixedMarker(), "showLinkLines");
    EXPECT_TRUE(map->showLinkLines());
    picked.setMaps({});
    EXPECT_FALSE(picked.valueForKey("showLinkLines").isValid());
    EXPECT_EQ(MapsSelection::viewOptionKeys().size(), 7);
}

} // namespace
