#include "mapdrawing/TWMapBranch_Outline.h"

#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/UndoManager.h"

#include <memory>

namespace TWBranchOutline {

namespace {

void appendPlain(AttributedString &destination, const QString &text)
{
    destination.appendAttributedString(AttributedString(text));
}

void applyStyle(AttributedString &destination, qsizetype from, const ParagraphStyle &style)
{
    if (destination.length() > from)
        destination.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style),
                                 AttributedString::Range{from, destination.length() - from});
}

const TWTextArea *asTextWithText(const TWGraphic *graphic)
{
    const auto *area = dynamic_cast<const TWTextArea *>(graphic);
    return area && !area->text().isEmpty() ? area : nullptr;
}

// The label of the outline number, when the map shows numbers and the branch
// has one with text.
const TWTextArea *outlineNumberText(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    if (!map || !map->showOutlineNumbers())
        return nullptr;
    for (const std::shared_ptr<TWEnclosedGraphic> &enclosed : branch.otherEnclosedGraphics()) {
        if (!enclosed)
            continue;
        if (const TWTextArea *area = asTextWithText(enclosed->graphic().get()))
            return area;
    }
    return nullptr;
}

std::shared_ptr<const AttributedString> noteText(const TWMapBranch &branch)
{
    if (branch.countOfAttachedTextArray() == 0)
        return nullptr;
    const std::shared_ptr<TWAttachedText> attached = branch.objectInAttachedTextArrayAtIndex(0);
    if (!attached || !attached->text() || attached->text()->isEmpty())
        return nullptr;
    return attached->text();
}

} // namespace

ParagraphStyle labelStyle(int level)
{
    ParagraphStyle style;
    style.firstLineHeadIndent = 20.0 * level;
    style.headIndent = 20.0 * level + 20;
    style.tabStops = {TextTab(LeftTextAlignment, 20.0 * level + 40)};
    return style;
}

ParagraphStyle noteStyle(int level)
{
    ParagraphStyle style;
    style.firstLineHeadIndent = style.headIndent = 20.0 * level + 20;
    return style;
}

ParagraphStyle linkedTextStyle(int level)
{
    ParagraphStyle style;
    style.firstLineHeadIndent = style.headIndent = 20.0 * level + 30;
    return style;
}

QString flattenedText(const QString &text)
{
    QString flat = text;
    for (QChar &c : flat) {
        if (c != QLatin1Char(' ') && c.isSpace())
            c = QLatin1Char(' ');
    }
    return flat;
}

void appendTextToAttrString(const TWMapBranch &branch, AttributedString &destination,
                            const Settings &settings, bool doChildren, int level)
{
    const int options = settings.options;
    if (!(options & HiddenBranches) && branch.hidden())
        return;
    const bool singleLine = settings.type == SingleLineLayout;
    const qsizetype s0 = destination.length();
    if (!singleLine && level != 0)
        appendPlain(destination, QStringLiteral("\n"));

    if (const TWTextArea *number = outlineNumberText(branch)) {
        if (singleLine) {
            appendPlain(destination, QStringLiteral("("));
            destination.appendAttributedString(number->text());
            appendPlain(destination, QStringLiteral(")"));
        } else {
            destination.appendAttributedString(number->text());
            appendPlain(destination, QStringLiteral("\t"));
        }
    }
    if (singleLine && level != 0) {
        QString indent;
        if (settings.indentSelection == IndentWithTabs)
            indent = QString(level, QLatin1Char('\t'));
        else if (settings.indentSelection == IndentWithSpaces && settings.indentNoOfSpaces > 0)
            indent = QString(qsizetype(level) * settings.indentNoOfSpaces, QLatin1Char(' '));
        appendPlain(destination, indent);
    }

    const std::shared_ptr<TWTextArea> &label = branch.enclosedTextArea();
    if ((options & BranchText) && label && !label->text().isEmpty()) {
        if (singleLine) {
            appendPlain(destination, flattenedText(label->text().string()));
            if ((options & Notes) || settings.includeGraphicText)
                appendPlain(destination, QStringLiteral("|"));
        } else {
            destination.appendAttributedString(label->text());
        }
    }
    applyStyle(destination, s0, labelStyle(level));
    const qsizetype s1 = destination.length();

    const std::shared_ptr<const AttributedString> note = noteText(branch);
    if ((options & Notes) && note) {
        if (singleLine) {
            appendPlain(destination, flattenedText(note->string()));
            if ((options & LinkedText) || settings.includeGraphicText) {
                if (options & BranchText)
                    appendPlain(destination, QStringLiteral("|"));
            } else {
                appendPlain(destination, QStringLiteral("\n"));
            }
        } else {
            appendPlain(destination, QStringLiteral("\n"));
            destination.appendAttributedString(*note);
            appendPlain(destination, QStringLiteral("\n"));
        }
    } else if (singleLine && settings.includeGraphicText) {
        appendPlain(destination, QStringLiteral("|"));
    }
    applyStyle(destination, s1, noteStyle(level));
    const qsizetype s2 = destination.length();

    if ((options & LinkedText) && (!singleLine || settings.includeGraphicText)) {
        bool first = true;
        for (const std::shared_ptr<TWGraphic> &graphic : branch.linkedGraphics()) {
            const TWTextArea *area = asTextWithText(graphic.get());
            if (!area)
                continue;
            if (!first)
                appendPlain(destination, QStringLiteral("|"));
            first = false;
            destination.appendAttributedString(area->text());
            if (!singleLine)
                appendPlain(destination, QStringLiteral("\n"));
        }
    }
    applyStyle(destination, s2, linkedTextStyle(level));

    if (singleLine && (options & BranchText))
        appendPlain(destination, QStringLiteral("\n"));
    if (doChildren) {
        // Copied first: nothing here changes the tree, but a child list that
        // did change would otherwise be walked while it moves.
        const TWMapBranch::BranchList children = branch.children();
        for (const std::shared_ptr<TWMapBranch> &child : children) {
            if (child)
                appendTextToAttrString(*child, destination, settings, true, level + 1);
        }
    }
}

AttributedString createTextOfType(const TWMap &map, const Settings &settings)
{
    AttributedString text;
    if (map.root())
        appendTextToAttrString(*map.root(), text, settings, true, 0);
    return text;
}

AttributedString generateAttributedStringForPrinting(const TWMap &map, int options,
                                                     int indentSelection, int indentNoOfSpaces)
{
    Settings settings;
    settings.options = options;
    settings.type = RichLayout;
    settings.indentSelection = indentSelection;
    settings.indentNoOfSpaces = indentNoOfSpaces;
    settings.includeAttachedText = options & Notes;
    settings.includeGraphicText = options & LinkedText;
    return createTextOfType(map, settings);
}

AttributedString copyTextOfBranch(const TWMapBranch &branch, int indentSelection,
                                  int indentNoOfSpaces, bool includeAttachedText,
                                  bool includeGraphicText)
{
    Settings settings;
    settings.options = Notes | LinkedText | ScreenScript | HiddenBranches | BranchText;
    settings.type = RichLayout;
    settings.indentSelection = indentSelection;
    settings.indentNoOfSpaces = indentNoOfSpaces;
    settings.includeAttachedText = includeAttachedText;
    settings.includeGraphicText = includeGraphicText;
    AttributedString text;
    appendTextToAttrString(branch, text, settings, false, 0);
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        if (child)
            appendTextToAttrString(*child, text, settings, true, 1);
    }
    return text;
}

void noteTextDidChange(TWMapBranch &branch, const AttributedString &text)
{
    const int count = branch.countOfAttachedTextArray();
    if (!text.isEmpty() && count == 0) {
        auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch.undoManager());
        attached->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(attached, 0);
        branch.makeNaturalSizeHonoringTextWidth(true, true);
    } else if (text.isEmpty() && count > 0) {
        branch.removeObjectFromAttachedTextArrayAtIndex(0);
        branch.makeNaturalSizeHonoringTextWidth(true, true);
    } else if (count > 0) {
        branch.objectInAttachedTextArrayAtIndex(0)->setText(
            std::make_shared<const AttributedString>(text));
    }
}

UndoManager *undoManagerForNoteEditor(const TWMapBranch &branch)
{
    return branch.undoManager();
}

} // namespace TWBranchOutline
