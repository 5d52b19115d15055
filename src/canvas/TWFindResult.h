#pragma once

#include "support/AttributedString.h"

#include <QString>
#include <memory>
#include <optional>

class TWMapBranch;
class TWTextArea;

// One hit of a search: where it is (a label or attached text, or a branch's
// notes) and its range in that text. The objects are held weakly: a result
// whose branch has gone can no longer be shown or replaced.
class TWFindResult
{
public:
    // The location of a result that has been replaced.
    static constexpr qsizetype NotFound = 0x7fffffff;
    using Range = AttributedString::Range;

    enum class Kind { Label, AttachedText, BranchNotes };

    TWFindResult() = default;
    // A hit in a text area of `branch`: its label or a text attached to it.
    static TWFindResult inTextArea(const std::shared_ptr<TWTextArea> &textArea, Range range,
                                   TWMapBranch &branch);
    // A hit in the notes of the branch.
    static TWFindResult inNotes(const std::shared_ptr<TWMapBranch> &branch, Range range);

    Kind kind() const { return m_kind; }
    // "Branch", "Attached Text" or "Branch Notes".
    QString representedObjectDescription() const;
    // The object whose text holds the hit: its identity, for comparing.
    const void *representedObject() const { return m_object; }
    std::shared_ptr<TWTextArea> textArea() const { return m_textArea.lock(); }
    std::shared_ptr<TWMapBranch> branch() const { return m_branch.lock(); }

    Range range() const { return m_range; }
    void setRange(Range range) { m_range = range; }
    bool isReplaced() const { return m_range.location == NotFound; }
    void markReplaced() { m_range.location = NotFound; }

    // The text the hit is in, as the model holds it now; nothing once its
    // object has gone.
    std::optional<AttributedString> text() const;
    // The characters at the range now; empty when the range no longer fits.
    QString foundString() const;
    // The hit with some context, made when first asked for.
    const AttributedString &previewString() const;

    // Replaces the range in the model (undoably) and marks the result
    // replaced; false, changing nothing, when it was replaced already, its
    // object has gone or the range no longer fits.
    bool replaceWithString(const QString &replacement);

    // Same object, same range.
    friend bool operator==(const TWFindResult &a, const TWFindResult &b)
    {
        return a.m_object == b.m_object && a.m_range == b.m_range;
    }

    // Sets the text of the result's object in the model.
    void setText(const AttributedString &text) const;

private:
    Kind m_kind = Kind::Label;
    const void *m_object = nullptr;
    std::weak_ptr<TWTextArea> m_textArea;
    std::weak_ptr<TWMapBranch> m_branch;
    Range m_range;
    mutable std::optional<AttributedString> m_preview;
};
