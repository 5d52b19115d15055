#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "drawing/TWTextLayout.h"
#include "support/ParagraphStyle.h"

#include <QPainter>

void TWFlexiBranchTransformedCharacter::setAttributedString(const AttributedString &string)
{
    AttributedString copy = string;
    if (!copy.isEmpty()) {
        const QVariant found = copy.attribute(NSParagraphStyleAttributeName, 0);
        ParagraphStyle style =
            found.canConvert<ParagraphStyle>() ? found.value<ParagraphStyle>() : ParagraphStyle();
        style.alignment = LeftTextAlignment;
        copy.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style),
                          {0, copy.length()});
    }
    m_attributedString = copy;
    m_layout.reset();
}

const TWTextLayout &TWFlexiBranchTransformedCharacter::layout() const
{
    if (!m_layout) {
        auto layout = std::make_shared<TWTextLayout>();
        layout->setLineFragmentPadding(0);
        layout->setAttributedString(m_attributedString);
        m_layout = std::move(layout);
    }
    return *m_layout;
}

void TWFlexiBranchTransformedCharacter::shareLayoutOf(
    const TWFlexiBranchTransformedCharacter &other)
{
    if (&other == this || !(other.m_attributedString == m_attributedString))
        return;
    other.layout();
    m_layout = other.m_layout;
}

Size TWFlexiBranchTransformedCharacter::size() const
{
    return layout().usedRect().size;
}

void TWFlexiBranchTransformedCharacter::draw(QPainter &painter) const
{
    layout().draw(painter, Point(0, 0));
}
