#include "canvas/TWFindResult.h"

#include "canvas/TWFindSearch.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "platform/TWLocalizedString.h"

TWFindResult TWFindResult::inTextArea(const std::shared_ptr<TWTextArea> &textArea, Range range,
                                      TWMapBranch &branch)
{
    TWFindResult result;
    result.m_kind = branch.enclosedTextArea() == textArea ? Kind::Label : Kind::AttachedText;
    result.m_object = textArea.get();
    result.m_textArea = textArea;
    result.m_branch = branch.weak_from_this();
    result.m_range = range;
    return result;
}

TWFindResult TWFindResult::inNotes(const std::shared_ptr<TWMapBranch> &branch, Range range)
{
    TWFindResult result;
    result.m_kind = Kind::BranchNotes;
    result.m_object = branch.get();
    result.m_branch = branch;
    result.m_range = range;
    return result;
}

QString TWFindResult::representedObjectDescription() const
{
    const char *key = m_kind == Kind::Label          ? "Branch"
                      : m_kind == Kind::AttachedText ? "Attached Text"
                                                     : "Branch Notes";
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

std::optional<AttributedString> TWFindResult::text() const
{
    if (m_kind == Kind::BranchNotes) {
        const std::shared_ptr<TWMapBranch> owner = branch();
        if (!owner)
            return std::nullopt;
        const std::shared_ptr<const AttributedString> notes = owner->primaryAttachedText();
        return notes ? *notes : AttributedString();
    }
    const std::shared_ptr<TWTextArea> area = textArea();
    if (!area)
        return std::nullopt;
    return area->text();
}

QString TWFindResult::foundString() const
{
    const std::optional<AttributedString> now = text();
    if (!now || m_range.location < 0 || m_range.end() > now->length())
        return QString();
    return now->string().mid(m_range.location, m_range.length);
}

const AttributedString &TWFindResult::previewString() const
{
    if (!m_preview) {
        const std::optional<AttributedString> now = text();
        m_preview = now && !isReplaced() ? TWFind::previewStringForRange(now->string(), m_range)
                                         : AttributedString();
    }
    return *m_preview;
}

void TWFindResult::setText(const AttributedString &text) const
{
    if (m_kind == Kind::BranchNotes) {
        if (const std::shared_ptr<TWMapBranch> owner = branch())
            owner->setPrimaryAttachedText(std::make_shared<const AttributedString>(text));
    } else if (const std::shared_ptr<TWTextArea> area = textArea()) {
        area->setText(text);
    }
}

bool TWFindResult::replaceWithString(const QString &replacement)
{
    std::optional<AttributedString> now = text();
    if (isReplaced() || !now || m_range.location < 0 || m_range.end() > now->length())
        return false;
    now->replaceCharactersInRange(m_range, replacement);
    setText(*now);
    markReplaced();
    return true;
}
