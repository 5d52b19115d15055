#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "support/ParagraphStyle.h"

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
}
