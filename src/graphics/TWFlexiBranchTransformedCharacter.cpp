#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "drawing/TWTextLayout.h"
#include "support/ParagraphStyle.h"

#include <QPainter>
#include <unordered_map>
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

// Laid-out characters by their text: a label's letters recur, in the label
// and across the labels of a map, and each layout is a pure function of its
// attributed string. One per thread, as drawing may run off the main one.
class CharacterLayouts
{
public:
    std::shared_ptr<TWTextLayout> layoutFor(const AttributedString &string)
    {
        std::vector<Entry> &entries = m_entries[string.string()];
        for (const Entry &entry : entries)
            if (entry.string == string)
                return entry.layout;
        if (++m_count > MaximumCount) {
            m_entries.clear();
            m_count = 1;
        }
        auto layout = std::make_shared<TWTextLayout>();
        layout->setLineFragmentPadding(0);
        layout->setAttributedString(string);
        m_entries[string.string()].push_back({string, layout});
        return layout;
    }

private:
    static constexpr int MaximumCount = 4096;
    struct Entry
    {
        AttributedString string;
        std::shared_ptr<TWTextLayout> layout;
    };
    std::unordered_map<QString, std::vector<Entry>> m_entries;
    int m_count = 0;
};

} // namespace

const TWTextLayout &TWFlexiBranchTransformedCharacter::layout() const
{
    if (!m_layout) {
        thread_local CharacterLayouts layouts;
        m_layout = layouts.layoutFor(m_attributedString);
    }
    return *m_layout;
}

Size TWFlexiBranchTransformedCharacter::size() const
{
    return layout().usedRect().size;
}

void TWFlexiBranchTransformedCharacter::draw(QPainter &painter) const
{
    layout().draw(painter, Point(0, 0));
}
