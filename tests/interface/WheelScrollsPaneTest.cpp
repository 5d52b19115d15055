#include "interface/WheelScrollsPane.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// One notch down at the middle of `target`, as the window system delivers it
// to the widget under the pointer: a spontaneous event, for which Qt gives
// focus by policy and passes the event up to the parents.
void wheelDown(QWidget *target)
{
    const QPointF local = QPointF(target->rect().center());
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::sendEvent(target, &event);
}

struct Pane {
    QScrollArea area;
    QWidget *content = new QWidget;
    QSpinBox *spin = new QSpinBox;
    QComboBox *combo = new QComboBox;
    QSlider *slider = new QSlider(Qt::Horizontal);
    QLabel *label = new QLabel(QStringLiteral("text"));

    explicit Pane(bool installed)
    {
        auto *layout = new QVBoxLayout(content);
        spin->setRange(0, 100);
        spin->setValue(50);
        combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        combo->setCurrentIndex(1);
        slider->setRange(0, 100);
        slider->setValue(50);
        for (QWidget *w : {static_cast<QWidget *>(spin), static_cast<QWidget *>(combo),
                           static_cast<QWidget *>(slider), static_cast<QWidget *>(label)})
            layout->addWidget(w);
        layout->addSpacing(2000);
        area.setWidget(content);
        area.setWidgetResizable(true);
        area.resize(200, 150);
        if (installed)
            WheelScrollsPane::install(&area);
        area.show();
        QApplication::setActiveWindow(&area);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&area));
        // The focus is elsewhere (on the map, in the program), not in a control.
        area.setFocus();
    }
    int value(QWidget *w) const
    {
        if (w == spin)
            return spin->value();
        if (w == combo)
            return combo->currentIndex();
        if (w == slider)
            return slider->value();
        return 0;
    }
};

TEST(WheelScrollsPaneTest, TheWheelScrollsThePaneUnlessTheUserClickedIntoAControl)
{
    enum Target { Spin, Combo, Slider, Label };
    const struct {
        const char *name;
        Target target;
        bool clickedInto;
        bool changes, scrolls;
    } cases[] = {
        {"spin box passing under the pointer", Spin, false, false, true},
        {"pop-up passing under the pointer", Combo, false, false, true},
        {"slider passing under the pointer", Slider, false, false, true},
        {"spin box clicked into", Spin, true, true, false},
        {"pop-up clicked into", Combo, true, true, false},
        {"slider clicked into", Slider, true, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Pane pane(true);
        QWidget *widgets[] = {pane.spin, pane.combo, pane.slider, pane.label};
        QWidget *target = widgets[c.target];
        if (c.clickedInto)
            target->setFocus(Qt::MouseFocusReason);
        const int before = pane.value(target);
        wheelDown(target);
        EXPECT_EQ(pane.value(target) != before, c.changes);
        EXPECT_EQ(pane.area.verticalScrollBar()->value() > 0, c.scrolls);
        // Passing over never takes the focus away from where the user left it.
        EXPECT_EQ(target->hasFocus(), c.clickedInto);
    }
}

TEST(WheelScrollsPaneTest, OnlyInstalledPanesAreChanged)
{
    // Qt's own behaviour elsewhere: the spin box takes the wheel and the focus.
    Pane plain(false);
    wheelDown(plain.spin);
    EXPECT_NE(plain.spin->value(), 50);
    EXPECT_EQ(WheelScrollsPane::paneOf(plain.spin), nullptr);

    Pane pane(true);
    EXPECT_EQ(WheelScrollsPane::paneOf(pane.spin), &pane.area);
    EXPECT_EQ(WheelScrollsPane::paneOf(&pane.area), nullptr);
}

} // namespace
