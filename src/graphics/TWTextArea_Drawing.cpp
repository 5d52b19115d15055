#include "graphics/TWGraphicDrawing.h"
#include "graphics/TWTextArea.h"
#include "render/DrawingContext.h"
#include "render/TWDrawingView.h"
#include "render/TWTextLayout.h"
#include "support/BezierPath.h"

#include <QPainter>

using namespace TWGraphicDrawing;

void TWTextArea::updateCachedTextAttributes()
{
    m_cachedLayout.reset();
}

const TWTextLayout *TWTextArea::cachedTextLayout()
{
    if (m_text.isEmpty() || shouldDrawFlexiText()) {
        m_cachedLayout.reset();
        return nullptr;
    }
    const Size size = bounds().size;
    if (m_cachedLayout && m_cachedLayout->containerSize() == size &&
        m_cachedLayout->lineFragmentPadding() == m_lineFragmentPadding)
        return m_cachedLayout.get();
    auto layout = std::make_unique<TWTextLayout>();
    layout->setContainerSize(size);
    layout->setLineFragmentPadding(m_lineFragmentPadding);
    layout->setAttributedString(textForDrawing());
    m_cachedLayout = std::move(layout);
    return m_cachedLayout.get();
}

std::optional<ParagraphStyle> TWTextArea::currentAlignment() const
{
    if (m_text.isEmpty())
        return std::nullopt;
    const QVariant value = m_text.attribute(NSParagraphStyleAttributeName, 0);
    if (!value.canConvert<ParagraphStyle>())
        return std::nullopt;
    return value.value<ParagraphStyle>();
}

void TWTextArea::drawInView(const DrawingContext &context, const TWDrawingView *view,
                            bool isSelected, const std::optional<Shadow> &shadow,
                            bool drawingSelectionShadow)
{
    const Rect b = bounds();
    // A drawing of the whole map off the screen (the preview of every save,
    // an export) uses the layouts the screen keeps and lets go of the rest:
    // kept, they held a laid-out label for every branch of a big map.
    const bool kept = m_cachedLayout && m_cachedLayout->containerSize() == b.size &&
                      m_cachedLayout->lineFragmentPadding() == m_lineFragmentPadding;
    std::unique_ptr<TWTextLayout> transient;
    if (!context.isDrawingToScreen() && !kept && !m_text.isEmpty() && !shouldDrawFlexiText()) {
        transient = std::make_unique<TWTextLayout>();
        transient->setContainerSize(b.size);
        transient->setLineFragmentPadding(m_lineFragmentPadding);
        transient->setAttributedString(textForDrawing());
    }
    const TWTextLayout *layout = transient ? transient.get() : cachedTextLayout();
    const bool editing = view && view->editingTextArea() == this;
    const bool flexi = shouldDrawFlexiText();
    const BezierPath outline = rectanglePath(b, strokeWidth());

    DrawingContext::StateSaver saver(context);
    QPainter &painter = context.painter();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The editor shows the text: only a frame just outside the bounds marks it.
    const auto textOrEditingFrame = [&](const DrawingContext &c) {
        if (editing)
            frameRect(c, b.insetBy(-1, -1), SystemColors::knobColor(), 1);
        // The editor shows the text in a box, so the curve keeps its characters.
        if (flexi)
            drawFlexiText(c);
        else if (!editing && layout)
            layout->draw(c.painter(), b.origin);
    };
    const auto paint = [&](const DrawingContext &c) {
        if (drawsFill())
            c.painter().fillRect(b.toQt(), inheritedFillColor().toQColor());
        strokeOutline(c, outline, *this);
        textOrEditingFrame(c);
    };

    if (const std::optional<Shadow> cast = castShadow(*this, shadow)) {
        context.drawWithShadow(*cast, paintedArea(b, strokeWidth()), paint);
        // Crisp on top of what cast the shadow; the fill needs no second pass.
        strokeOutline(context, outline, *this);
        textOrEditingFrame(context);
    } else {
        paint(context);
    }

    if (drawingSelectionShadow && (isSelected || !isEnclosedText()))
        strokeGlow(context, outline, textAreaGlow(strokeWidth(), drawsStroke(), isSelected));
    if (animationStep() > 0)
        context.strokePath(outline, SystemColors::keyboardFocusIndicatorColor().toQColor(),
                           StrokeStyle::withWidth(pulseWidth(strokeWidth(), animationStep())));
    if (isSelected && !editing)
        drawHandlesInView(context, view);
}

void TWTextArea::drawForDragInView(const DrawingContext &context, const TWDrawingView *view,
                                   int style)
{
    const Rect b = bounds();
    DrawingContext::StateSaver saver(context);
    QPainter &painter = context.painter();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (drawsFill())
        painter.fillRect(b.toQt(), inheritedFillColor().toQColor());
    if (drawsStroke())
        frameRect(context, b, inheritedStrokeColor(), strokeWidth());
    if (m_text.isEmpty())
        return;
    if (shouldDrawFlexiText()) {
        drawFlexiText(context);
        return;
    }
    TWTextLayout &shared = TWTextLayout::shared();
    shared.setLineFragmentPadding(m_lineFragmentPadding);
    shared.setContainerSize(b.size);
    shared.setAttributedString(m_text);
    if (shared.laidOutLength() > 0)
        shared.draw(painter, b.origin);
    shared.clear();
}
