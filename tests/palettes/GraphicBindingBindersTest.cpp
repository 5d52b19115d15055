#include "BranchTestSupport.h"
#include "StyleTestSupport.h"

#include "graphics/TWRectangle.h"
#include "interface/ColorWell.h"
#include "interface/KeyValueBinding.h"
#include "palettes/TWGraphicBindingController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Palette controls bound to the selection's settings: a user change reaches
// every selected graphic or branch, and a model change shows in the control.
class GraphicBindingBinders : public BranchTest::BranchFixture
{
protected:
    GraphicBindingBinders()
    {
        for (float y : {100.f, 200.f}) {
            auto branch = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWRectangle>(Rect(500, y, 80, 30)), root.get(), map.get());
            branches.push_back(branch);
            map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(),
                                                       map->countOfSelectedGraphics());
        }
        settle();
        controller.update();
    }
    TWGraphic &shape(int i) { return *branches[size_t(i)]->mainGraphic(); }
    void refreshFromModel()
    {
        settle();
        controller.update();
    }

    StyleTest::ScopedDataHome home;
    int identity = 0;
    TWGraphicBindingController controller{[this] { return document.get(); }, &identity};
    std::vector<std::shared_ptr<TWMapBranch>> branches;
    QWidget palette;
};

TEST_F(GraphicBindingBinders, ATriStateCheckBoxShowsMixedAndAClickTurnsAllOn)
{
    shape(0).setDrawsShadow(true);
    shape(1).setDrawsShadow(false);
    refreshFromModel();
    auto *box = new QCheckBox("Shadow", &palette);
    box->adjustSize();
    palette.show();
    KeyValueBinders::bindCheckBox(box, &controller, "drawsShadow");
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(shape(0).drawsShadow());
    EXPECT_TRUE(shape(1).drawsShadow());
    QCoreApplication::processEvents();
    EXPECT_EQ(box->checkState(), Qt::Checked);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(shape(0).drawsShadow());
    EXPECT_FALSE(shape(1).drawsShadow());
    EXPECT_EQ(box->checkState(), Qt::Unchecked);

    // Back from the model: undo, and the refresh shows both on again.
    undo->closeEventGroup();
    undo->undo();
    refreshFromModel();
    EXPECT_EQ(box->checkState(), Qt::Checked);
}

TEST_F(GraphicBindingBinders, NumbersSlidersAndPopUpsWriteTheSelectionAndFollowIt)
{
    auto *width = new QDoubleSpinBox(&palette);
    KeyValueBinders::bindSpinBox(width, &controller, "strokeWidth");
    width->selectAll();
    QTest::keyClicks(width, "4");
    EXPECT_EQ(shape(0).strokeWidth(), 4);
    EXPECT_EQ(shape(1).strokeWidth(), 4);
    EXPECT_TRUE(shape(1).drawsStroke());

    auto *margin = new QSlider(Qt::Horizontal, &palette);
    margin->setRange(0, 50);
    KeyValueBinders::bindSlider(margin, &controller, "boundaryMargin");
    margin->setFocus();
    QTest::keyClick(margin, Qt::Key_End);
    EXPECT_EQ(branches[0]->boundaryMargin(), 50);
    EXPECT_EQ(branches[1]->boundaryMargin(), 50);

    auto *corner = new QSpinBox(&palette);
    KeyValueBinders::bindSpinBox(corner, &controller, "cornerMode");
    shape(0).setCornerMode(2);
    refreshFromModel();
    EXPECT_EQ(corner->value(), 2);

    auto *position = new QComboBox(&palette);
    for (int p : {0, 1, 2, 3})
        position->addItem(QString::number(p), p);
    KeyValueBinders::bindPopUp(position, &controller, "textRelativePosition");
    branches[0]->setTextRelativePosition(1);
    branches[1]->setTextRelativePosition(3);
    refreshFromModel();
    EXPECT_EQ(position->currentIndex(), -1) << "mixed shows no item";
    position->setFocus();
    QTest::keyClick(position, Qt::Key_Down);
    EXPECT_EQ(branches[0]->textRelativePosition(), branches[1]->textRelativePosition());
    EXPECT_EQ(position->currentData().toInt(), branches[0]->textRelativePosition());
}

TEST_F(GraphicBindingBinders, AColourWellAndAnEnabledStateFollowTheFillFlags)
{
    auto *well = new ColorWell(&palette);
    auto *colorEnabled = new QWidget(&palette);
    KeyValueBinders::bindColorWell(well, &controller, "fillColor");
    KeyValueBinders::bindEnabled(colorEnabled, &controller, "inheritsFill", [](const QVariant &v) {
        return QVariant(!TWMixedNegateBoolean(v).value_or(true));
    });
    shape(0).setInheritsFill(true);
    shape(1).setInheritsFill(true);
    refreshFromModel();
    EXPECT_TRUE(colorEnabled->isEnabled());

    const Color green = Color::colorWithCalibratedRed(0, 1, 0);
    well->chooseColor(green);
    EXPECT_EQ(shape(0).fillColor(), std::optional<Color>(green));
    EXPECT_EQ(shape(1).fillColor(), std::optional<Color>(green));
    EXPECT_FALSE(shape(1).inheritsFill());
    EXPECT_FALSE(colorEnabled->isEnabled());
    EXPECT_EQ(well->color(), std::optional<Color>(green));

    const Color red = Color::colorWithCalibratedRed(1, 0, 0);
    shape(0).setFillColor(red);
    refreshFromModel();
    EXPECT_EQ(well->color(), std::optional<Color>(red));
}

} // namespace
