#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "render/TWTextLayout.h"
#include "support/ParagraphStyle.h"

#include <QHash>
#include <QPainter>

#include <vector>

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

namespace {

// Characters of the same text and attributes look alike: one layout serves
// every one of them while any lives, rather than one layout a character.
std::shared_ptr<TWTextLayout> sharedLayout(const AttributedString &string)
{
    struct Entry
    {
        AttributedString string;
        std::weak_ptr<TWTextLayout> layout;
    };
    thread_local QHash<QString, std::vector<Entry>> cache;
    std::vector<Entry> &entries = cache[string.string()];
    Entry *unused = nullptr;
    for (Entry &entry : entries) {
        std::shared_ptr<TWTextLayout> layout = entry.layout.lock();
        if (!layout)
            unused = &entry;
        else if (entry.string == string)
            return layout;
    }
    auto layout = std::make_shared<TWTextLayout>();
    layout->setLineFragmentPadding(0);
    layout->setAttributedString(string);
    if (unused)
        *unused = {string, layout};
    else
        entries.push_back({string, layout});
    return layout;
}

} // namespace

const TWTextLayout &TWFlexiBranchTransformedCharacter::layout() const
{
    if (!m_layout)
        m_layout = sharedLayout(m_attributedString);
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
