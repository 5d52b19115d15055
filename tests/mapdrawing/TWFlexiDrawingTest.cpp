#include "BranchTestSupport.h"
#include "GoldenImage.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "render/DrawingContext.h"
#include "render/TWDrawingView.h"
#include "render/TWTextLayout.h"
#include "support/Font.h"

#include <QPainter>
#include <cmath>

using namespace BranchTest;

namespace {

const TextAttributes kFont{{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans", 12))}};

// A flexi branch whose line runs from (40, 90) to (340, 90), reserving 3
// points at each end.
class FlexiDrawingTest : public BranchFixture
{
protected:
    FlexiDrawingTest()
    {
        branch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWFlexiBranch>(Rect(40, 60, 300, 30)), root.get(), map.get());
        flexi = std::static_pointer_cast<TWFlexiBranch>(branch->mainGraphic());
        label = branch->enclosedTextArea();
        label->setLineFragmentPadding(5);
        label->setBounds(Rect(43, 70, 294, 20));
        flexi->initializePoints();
        settle();
    }
    void setText(const QString &text)
    {
        label->setText(AttributedString(text, kFont));
        label->generateFlexiCharacters();
    }
    QStringList characters() const
    {
        QStringList result;
        for (const auto &c : label->cachedFlexiCharacters())
            result << c->attributedString().string();
        return result;
    }
    static float lineHeight()
    {
        return TWTextLayout::requiredSizeForWidth(AttributedString("X", kFont), 1000, Size(0, 0))
            .height;
    }
    static QImage render(Size size, const std::function<void(const DrawingContext &)> &draw)
    {
        QImage image = DrawingContext::makeImage(size, 1.0, Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        DrawingContext context(painter, false);
        draw(context);
        return image;
    }

    std::shared_ptr<TWMapBranch> branch;
    std::shared_ptr<TWFlexiBranch> flexi;
    std::shared_ptr<TWTextArea> label;
    TWDrawingView view;
};

TEST_F(FlexiDrawingTest, OneLineOnAStraightLineStandsHalfALinePlusThreeAbove)
{
    setText("Flexi text");
    ASSERT_EQ(label->countOfCachedFlexiCharacters(), 10);

    const float h = lineHeight();
    float previousX = 0;
    for (const auto &c : label->cachedFlexiCharacters()) {
        SCOPED_TRACE(c->attributedString().string().toStdString());
        EXPECT_FLOAT_EQ(c->angle(), 0);
        EXPECT_NEAR(c->drawPoint().y, 90 - (h / 2 + 3), 0.01);
        EXPECT_GT(c->drawPoint().x, previousX);
        previousX = c->drawPoint().x;
        // The character is centred on its draw point.
        const Size size = c->size();
        const QPointF middle = c->transform().map(QPointF(size.width / 2, size.height / 2));
        EXPECT_NEAR(middle.x(), c->drawPoint().x, 0.01);
        EXPECT_NEAR(middle.y(), c->drawPoint().y, 0.01);
    }
    // The first character starts after the reserved end and the padding.
    const auto first = label->objectInCachedFlexiCharactersAtIndex(0);
    EXPECT_NEAR(first->drawPoint().x, 40 + 3 + 5 + first->size().width / 2, 0.6);

    // Centred text is centred along the line; each character on its own is
    // placed by its transform alone, so it is stored left-aligned.
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    AttributedString text("Flexi text", kFont);
    text.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(centred), {0, 10});
    label->setText(text);
    label->generateFlexiCharacters();
    EXPECT_GT(label->objectInCachedFlexiCharactersAtIndex(0)->drawPoint().x, 120);
    for (const auto &c : label->cachedFlexiCharacters()) {
        const QVariant style = c->attributedString().attribute(NSParagraphStyleAttributeName, 0);
        EXPECT_EQ(style.value<ParagraphStyle>().alignment, LeftTextAlignment);
    }
}

TEST_F(FlexiDrawingTest, LongTextWrapsWithTheLastLineNearestTheCurve)
{
    flexi->setBounds(Rect(40, 60, 120, 30));
    flexi->initializePoints();
    setText("one two three four five six seven");
    const auto &chars = label->cachedFlexiCharacters();
    ASSERT_FALSE(chars.empty());
    const float h = lineHeight();
    const float top = chars.front()->drawPoint().y, bottom = chars.back()->drawPoint().y;
    EXPECT_NEAR(bottom, 90 - (h / 2 + 3), 0.01);
    EXPECT_LT(top, bottom - h * 0.9f) << "the first line stands furthest from the curve";
}

TEST_F(FlexiDrawingTest, UserPerceivedCharactersStayWhole)
{
    const QString thumbs = QStringLiteral("\U0001F44D\U0001F3FD");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString accented = QStringLiteral("e\u0301");
    const QString flag = QStringLiteral("\U0001F1EB\U0001F1F7");
    setText("a" + thumbs + accented + family + flag + "z");
    EXPECT_EQ(characters(), QStringList({"a", thumbs, accented, family, flag, "z"}));
    float previousX = 0;
    for (const auto &c : label->cachedFlexiCharacters()) {
        EXPECT_GT(c->drawPoint().x, previousX) << c->attributedString().string().toStdString();
        previousX = c->drawPoint().x;
    }
}

TEST_F(FlexiDrawingTest, EachCharacterHoldsItsOwnPieceOfTheText)
{
    // Letters repeated within a run, met again in other runs of other (and
    // of the same) attributes, and a mark that joins its letter across a
    // change of run: each character is what its piece of text makes alone.
    const auto font = [](const char *name, double size) {
        return TextAttributes{{NSFontAttributeName, QVariant::fromValue(Font(name, size))}};
    };
    AttributedString text;
    const std::pair<QString, TextAttributes> runs[] = {
        {"aab aba", font("LiberationSans", 12)},
        {"bab e", font("LiberationSerif", 14)},
        {QStringLiteral("\u0301aab"), font("LiberationSans", 12)},
        {"ba a", font("LiberationSerif", 14)},
    };
    for (const auto &[string, attributes] : runs)
        text.appendAttributedString(AttributedString(string, attributes));
    label->setText(text);
    label->generateFlexiCharacters();
    const auto &characters = label->cachedFlexiCharacters();
    ASSERT_EQ(characters.size(), size_t(text.length() - 1)); // the mark joins its letter
    qsizetype at = 0;
    for (const auto &character : characters) {
        const qsizetype length = character->attributedString().length();
        SCOPED_TRACE(testing::Message() << "at " << at);
        TWFlexiBranchTransformedCharacter alone;
        alone.setAttributedString(text.attributedSubstringFromRange({at, length}));
        EXPECT_TRUE(character->attributedString() == alone.attributedString());
        EXPECT_EQ(character->size(), alone.size());
        at += length;
    }
    EXPECT_EQ(at, text.length());
}

TEST_F(FlexiDrawingTest, EmptyTextAndLineBreaks)
{
    setText(QString());
    EXPECT_EQ(label->countOfCachedFlexiCharacters(), 0);
    // A forced break makes two lines; the break itself draws nothing.
    setText("up\ndown");
    EXPECT_EQ(characters(), QStringList({"u", "p", "d", "o", "w", "n"}));
    EXPECT_LT(label->objectInCachedFlexiCharactersAtIndex(0)->drawPoint().y,
              label->objectInCachedFlexiCharactersAtIndex(2)->drawPoint().y);
}

TEST_F(FlexiDrawingTest, APureMoveCarriesTheCharactersWithoutLayingThemOut)
{
    setText("Moved");
    const TWTextArea::FlexiCharacterList before = label->cachedFlexiCharacters();
    std::vector<QTransform> transforms;
    for (const auto &c : before)
        transforms.push_back(c->transform());

    flexi->setBounds(Rect(70, 40, 300, 30));
    ASSERT_EQ(label->cachedFlexiCharacters(), before) << "the same records, not new ones";
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i]->transform(), transforms[i] * QTransform::fromTranslate(30, -20));

    // A move made while nothing is laid out lays nothing out; the next
    // drawing lays the text out on the moved curve.
    label->removeAllCachedFlexiCharacters();
    flexi->bezierPath(); // cached at the old place
    flexi->unrecordedMoveBy(0, 10);
    EXPECT_EQ(label->countOfCachedFlexiCharacters(), 0);
    label->generateFlexiCharacters();
    ASSERT_EQ(label->countOfCachedFlexiCharacters(), 5);
    EXPECT_NEAR(label->objectInCachedFlexiCharactersAtIndex(0)->drawPoint().y,
                80 - (lineHeight() / 2 + 3), 0.01);

    // A new size clears them; they come back at the next drawing.
    flexi->setBounds(Rect(70, 50, 200, 30));
    EXPECT_EQ(label->countOfCachedFlexiCharacters(), 0);
}

TEST_F(FlexiDrawingTest, DrawingBoundsHoldTheTextAboveTheCurve)
{
    auto loose = TWGraphic::make<TWFlexiBranch>(Rect(0, 0, 100, 20));
    EXPECT_EQ(loose->drawingBounds(), Rect()) << "not yet in a map";
    setText("Bounds");
    const Rect drawn = flexi->drawingBounds();
    EXPECT_LE(drawn.y(), 60 - lineHeight() - 15);
    EXPECT_GE(drawn.maxX(), 340 + 15);
    // While edited, the label's own height stands in for the laid-out text.
    label->setIsEditing(true);
    EXPECT_FLOAT_EQ(flexi->drawingBounds().y(), std::min(60.0f - 20, 70.0f) - 15);
    label->setIsEditing(false);
}

// The label's height is kept between measurements; whatever happened to the
// branch, its drawing bounds are those of a branch measured afresh.
TEST_F(FlexiDrawingTest, DrawingBoundsMatchAFreshMeasurementAfterEveryChange)
{
    const QString wrapping = QString("Words enough to wrap the label ").repeated(4);
    struct Step
    {
        const char *what;
        std::function<void()> change;
        Point moved; // how far the bounds must have moved, when a pure move
    } const steps[] = {
        {"one line", [this] { setText("Bounds"); }, {}},
        {"a pure move", [this] { branch->moveBranchBy(500.3f, 700.7f, true); }, {500.3f, 700.7f}},
        {"a text that wraps", [&] { setText(wrapping); }, {}},
        {"a narrower curve",
         [this] {
             const Rect b = flexi->bounds();
             flexi->setBounds(Rect(b.x(), b.y(), 150, b.height()));
             flexi->initializePoints();
         },
         {}},
        {"another padding", [this] { label->setLineFragmentPadding(40); }, {}},
        {"a move back",
         [this] { branch->moveBranchBy(-500.3f, -700.7f, true); },
         {-500.3f, -700.7f}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        const Rect before = flexi->drawingBounds();
        step.change();
        flexi->setDrawingBoundsValid(false);
        const Rect now = flexi->drawingBounds();
        if (step.moved != Point()) {
            EXPECT_NEAR(now.x(), before.x() + step.moved.x, 0.01);
            EXPECT_NEAR(now.y(), before.y() + step.moved.y, 0.01);
            EXPECT_NEAR(now.height(), before.height(), 0.01);
        }
        // A twin with the same curve and text, never measured before.
        auto twin = TWMapBranch::createWithGraphic(TWGraphic::make<TWFlexiBranch>(flexi->bounds()),
                                                   root.get(), map.get());
        auto twinFlexi = std::static_pointer_cast<TWFlexiBranch>(twin->mainGraphic());
        twin->enclosedTextArea()->setLineFragmentPadding(label->lineFragmentPadding());
        twin->enclosedTextArea()->setBounds(label->bounds());
        twinFlexi->initializePoints();
        twinFlexi->setLeftPoint(flexi->leftPoint());
        twinFlexi->setRightPoint(flexi->rightPoint());
        twinFlexi->setIntermediate1(flexi->intermediate1());
        twinFlexi->setIntermediate2(flexi->intermediate2());
        twinFlexi->setInnerEndLeft(flexi->innerEndLeft());
        twinFlexi->setInnerEndRight(flexi->innerEndRight());
        twinFlexi->setStraightLeft(flexi->straightLeft());
        twinFlexi->setStraightRight(flexi->straightRight());
        twin->enclosedTextArea()->setText(label->text());
        const Rect fresh = twinFlexi->drawingBounds();
        EXPECT_NEAR(now.x(), fresh.x(), 0.01);
        EXPECT_NEAR(now.y(), fresh.y(), 0.01);
        EXPECT_NEAR(now.width(), fresh.width(), 0.01);
        EXPECT_NEAR(now.height(), fresh.height(), 0.01);
        twin->deparent();
    }
}

// Labels measured ahead on worker threads stand as high above their curves
// as labels laid out here, one at a time, in a container of their free width.
TEST_F(FlexiDrawingTest, LabelsMeasuredAheadStandAsHighAsLabelsMeasuredHere)
{
    const TextAttributes big{
        {NSFontAttributeName, QVariant::fromValue(Font("LiberationSerif", 30))}};
    AttributedString mixed("Small then large then small", kFont);
    mixed.addAttributes(big, {11, 5});
    struct Case
    {
        const char *what;
        AttributedString text;
        float width; // of the curve's bounds
        float padding;
    } const cases[] = {
        {"one line", AttributedString("Ahead", kFont), 300, 5},
        {"wrapping", AttributedString(QString("Words enough to wrap ").repeated(6), kFont), 200, 5},
        {"runs of two sizes", mixed, 120, 5},
        {"paragraphs", AttributedString("First\nSecond\n\nFourth", kFont), 300, 5},
        {"a wide padding", AttributedString("Padded on both ends", kFont), 150, 40},
        {"no padding", AttributedString("Padded on neither end", kFont), 150, 0},
        {"a curve shorter than its reserves", AttributedString("Squeezed", kFont), 4, 5},
        {"one long word", AttributedString(QString("W").repeated(80), kFont), 100, 5},
    };
    struct Made
    {
        std::shared_ptr<TWMapBranch> branch;
        std::shared_ptr<TWFlexiBranch> flexi;
    };
    std::vector<Made> made;
    std::vector<TWTextLayout::Request> requests;
    for (const Case &c : cases) {
        auto b = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWFlexiBranch>(Rect(40, 300, c.width, 30)), root.get(), map.get());
        auto f = std::static_pointer_cast<TWFlexiBranch>(b->mainGraphic());
        b->enclosedTextArea()->setLineFragmentPadding(c.padding);
        b->enclosedTextArea()->setBounds(Rect(41, 310, std::max(c.width - 2, 1.0f), 20));
        f->initializePoints();
        b->enclosedTextArea()->setText(c.text);
        f->setDrawingBoundsValid(false);
        const std::optional<TWFlexiBranch::LabelMeasurement> pending = f->pendingLabelMeasurement();
        ASSERT_TRUE(pending) << c.what;
        EXPECT_EQ(pending->text, c.text) << c.what;
        EXPECT_EQ(pending->padding, c.padding) << c.what;
        requests.push_back(
            {pending->text, pending->width,
             Size(TWTextLayout::containerMaximum, TWFlexiBranch::LabelContainerHeight),
             pending->padding});
        made.push_back({b, f});
    }
    TWTextLayout::Prefetch ahead(requests, 2);
    ahead.finish();
    for (size_t i = 0; i < made.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        TWFlexiBranch &f = *made[i].flexi;
        const float width = requests[i].width;
        const Rect measured = f.drawingBounds();
        EXPECT_FALSE(f.pendingLabelMeasurement()) << "measured once";
        // Without the text the curve alone sets the top; the label stands
        // above it by its used height in a container of the free width.
        TWTextLayout engine;
        engine.setLineFragmentPadding(c.padding);
        engine.setContainerSize(Size(width, TWFlexiBranch::LabelContainerHeight));
        engine.setAttributedString(c.text);
        const float expected = engine.usedRect().height();
        made[i].branch->enclosedTextArea()->setText(AttributedString());
        f.setDrawingBoundsValid(false);
        const Rect bare = f.drawingBounds();
        EXPECT_NEAR(bare.y() - measured.y(), expected, 0.001);
        EXPECT_GT(expected, 0);
        made[i].branch->deparent();
    }
    EXPECT_GT(ahead.answered(), 0);
}

TEST_F(FlexiDrawingTest, CurvedTextAndTheSelectedShape)
{
    // A wave: down, then up towards the right end.
    flexi->setBounds(Rect(40, 40, 320, 70));
    flexi->resizeByMovingKnob(TWFlexiBranch::Intermediate1Knob, {130, 150}, false);
    flexi->resizeByMovingKnob(TWFlexiBranch::Intermediate2Knob, {250, 30}, false);
    flexi->setStrokeWidth(2);
    flexi->setInheritsStroke(false);
    flexi->setStrokeColor(Color::colorWithCalibratedRed(0.15, 0.25, 0.55));
    setText("Text that follows the bending curve all the way along");
    settle();

    const QImage image = render(Size(400, 160), [&](const DrawingContext &c) {
        flexi->drawInView(c, &view, true, std::nullopt, false);
        label->drawInView(c, &view, false, std::nullopt, false);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "flexi-curve"));

    // The characters turn with the curve: both ways along the wave.
    float least = 0, most = 0;
    for (const auto &c : label->cachedFlexiCharacters()) {
        const float a = std::remainder(c->angle(), float(2 * M_PI));
        least = std::min(least, a);
        most = std::max(most, a);
    }
    EXPECT_LT(least, -0.3f);
    EXPECT_GT(most, 0.3f);
}

} // namespace
