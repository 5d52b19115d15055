#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWOutlineNumbering.h"
#include "platform/UndoManager.h"

#include <QVarLengthArray>
#include <vector>

namespace {

const QString Numeric = QStringLiteral("Numeric");
const QString UpperAlpha = QStringLiteral("Upper case alpha");
const QString LowerAlpha = QStringLiteral("Lower case alpha");
const QString UpperRoman = QStringLiteral("Upper case roman");
const QString LowerRoman = QStringLiteral("Lower case roman");

// The format of a level (1 for the root's children): a level beyond the
// list takes its last entry, an empty list is numeric throughout.
QString formatForLevel(const QStringList &formats, int level)
{
    if (formats.isEmpty())
        return Numeric;
    return formats.size() >= level ? formats.at(level - 1) : formats.last();
}

// The branch's own part of its number, or nothing for a format this map
// does not know.
std::optional<QString> ownPart(const QString &format, int index)
{
    std::optional<QString> part;
    if (format == Numeric)
        return QString::number(index + 1);
    if (format == UpperAlpha || format == LowerAlpha)
        part = TWMapBranch::convertNumberToLetters(index);
    else if (format == UpperRoman || format == LowerRoman)
        part = TWMapBranch::convertNumberToRomanNumerals(index + 1);
    else
        return std::nullopt;
    // Beyond what letters and numerals can write, the position is still told.
    if (!part)
        return QString::number(index + 1);
    if (format == UpperAlpha || format == UpperRoman)
        return part->toUpper();
    return part;
}

// The formats the children of a branch at `level` number with.
QStringList childFormatsOf(const TWMapBranch &branch, const QStringList &formatSettings, int level)
{
    const QStringList &override = branch.childrenOutlineNumberFormatOverride();
    if (branch.resetChildrenOutlineNumbers())
        return override;
    if (override.isEmpty())
        return formatSettings;
    QStringList childFormats = formatSettings;
    const QString filler = formatSettings.isEmpty() ? Numeric : formatSettings.last();
    while (childFormats.size() < level)
        childFormats.append(filler);
    for (int i = 0; i < override.size(); ++i) {
        if (level + i < childFormats.size())
            childFormats[level + i] = override.at(i);
        else
            childFormats.append(override.at(i));
    }
    return childFormats;
}

// The numbers one renumbering replaced, in the order it replaced them: its
// one undo step puts them back. A big map renumbers tens of thousands of
// branches after a single insertion.
struct Replaced
{
    std::shared_ptr<TWMapBranch> branch;
    TWMapBranch::NumberState state;
};
using ReplacedNumbers = std::vector<Replaced>;

// Where the renumbering under way keeps what it replaced; null when nothing
// is to be registered.
ReplacedNumbers *s_replaced = nullptr;

// Whether the number changed.
bool assign(TWMapBranch &branch, const TWMapBranch::NumberState &state, bool handDown = false)
{
    TWMapBranch::NumberState old;
    if (!branch.assignWalkedNumber(state, handDown, s_replaced ? &old : nullptr))
        return false;
    if (!s_replaced)
        return true;
    if (std::shared_ptr<TWMapBranch> self = branch.weak_from_this().lock())
        s_replaced->push_back({std::move(self), std::move(old)});
    return true;
}

void restoreNumbers(const std::shared_ptr<ReplacedNumbers> &numbers);

// Runs a renumbering that registers one inverse for all the numbers it
// changes, with the undo manager of `anyBranch`.
template <class Walk> void renumberUndoably(TWMapBranch &anyBranch, Walk &&walk)
{
    UndoManager *undo = anyBranch.undoManager();
    if (!undo || !undo->isUndoRegistrationEnabled() || s_replaced) {
        walk();
        return;
    }
    auto replaced = std::make_shared<ReplacedNumbers>();
    s_replaced = replaced.get();
    walk();
    s_replaced = nullptr;
    if (!replaced->empty())
        undo->registerUndo([replaced] { restoreNumbers(replaced); });
}

// Whether the map shows number labels: then every changed label is made
// now, since it takes room; otherwise numbers are handed down.
bool numbersShown(const TWMapBranch &branch)
{
    const TWMap *map = branch.map();
    return map && map->branchDisplaySettings().showOutlineNumbers;
}

// The labels of the subtree shown after a hand-down, made now.
void materializeShownLabelsBelow(TWMapBranch &top)
{
    std::vector<TWMapBranch *> open{&top};
    while (!open.empty()) {
        TWMapBranch *branch = open.back();
        open.pop_back();
        if (branch->outlineNumberLabelPending() && branch->showsOutlineNumberLabel())
            branch->materializeOutlineNumberLabel();
        for (const std::shared_ptr<TWMapBranch> &child : branch->children())
            open.push_back(child.get());
    }
}

void restoreNumbers(const std::shared_ptr<ReplacedNumbers> &numbers)
{
    // Backwards: a branch numbered twice gets the number it had first. What
    // was below a branch whose number was handed down was not recorded: it
    // takes the restored number up the same way.
    renumberUndoably(*numbers->front().branch, [&] {
        for (auto it = numbers->rbegin(); it != numbers->rend(); ++it)
            if (assign(*it->branch, it->state, true) && numbersShown(*it->branch))
                materializeShownLabelsBelow(*it->branch);
    });
}

// Numbers a branch and everything below it. Level, position among the
// siblings and hiding by an ancestor are handed down rather than looked up
// again at every branch: a map of many thousand branches is renumbered after
// every move.
//
// With `keepUnchanged`, a branch whose number stayed leaves its subtree as
// it is: after moves only the order of some children changed, and below a
// branch whose number stayed nothing else did (a changed order further down
// lists its own parent). Adding to the central branch of a big map then
// renumbers only the main branches after the new one.
//
// With `handDown` as well, a branch whose number changed but whose
// descendants keep their own parts (numbered before, visibly, at the same
// level with the same formats) hands its number down instead of walking
// them: each takes up the new prefix when its number is next read.
void numberSubtree(TWMapBranch &branch, const QString &previous, const QStringList &formatSettings,
                   int level, int index, bool hiddenByAncestor, bool keepUnchanged = false,
                   bool handDown = false)
{
    bool changed = true;
    bool handedDown = false;
    if (level == 0) {
        changed = assign(branch, {QStringLiteral(""), QString()});
    } else if (hiddenByAncestor) {
        changed = assign(branch, {QString(), QString()});
    } else if (const std::optional<QString> part =
                   ownPart(formatForLevel(formatSettings, level), index)) {
        handedDown = handDown && keepUnchanged && !branch.children().isEmpty() &&
                     branch.numberedAs(level, formatSettings) &&
                     !branch.outlineNumber().isEmpty();
        changed = assign(branch,
                         {previous.isEmpty() ? *part : previous + QLatin1Char('.') + *part, *part},
                         handedDown);
    } else {
        // A format this map does not know leaves the number as it is, and
        // its parent's later numbers do not change it either.
        assign(branch, {branch.outlineNumber(), QString()});
    }
    branch.setNumberedAs(level, formatSettings);
    if (branch.children().isEmpty() || (keepUnchanged && !changed) || handedDown)
        return;
    const QStringList childFormats = childFormatsOf(branch, formatSettings, level);
    const QString childPrevious =
        branch.resetChildrenOutlineNumbers() ? QStringLiteral("") : branch.outlineNumber();
    const bool hidesBelow = hiddenByAncestor || branch.hideChildrenOutlineNumbers();
    // A copy: setting a number must not disturb the walk.
    const TWMapBranch::BranchList children = branch.children();
    for (qsizetype i = 0; i < children.size(); ++i)
        numberSubtree(*children.at(i), childPrevious, childFormats, level + 1, int(i), hidesBelow,
                      keepUnchanged, handDown);
}

} // namespace

void renumberChildrenOf(TWMapBranch &parent, const QStringList &mapFormats, bool keepUnchanged)
{
    QList<const TWMapBranch *> path; // the root first, `parent` last
    for (const TWMapBranch *b = &parent; b; b = b->parent())
        path.prepend(b);
    QStringList formats = mapFormats;
    bool hidden = false;
    for (qsizetype level = 0; level < path.size(); ++level) {
        formats = childFormatsOf(*path.at(level), formats, int(level));
        hidden = hidden || path.at(level)->hideChildrenOutlineNumbers();
    }
    const QString previous =
        parent.resetChildrenOutlineNumbers() ? QStringLiteral("") : parent.outlineNumber();
    const TWMapBranch::BranchList children = parent.children();
    const bool handDown = keepUnchanged && !numbersShown(parent);
    renumberUndoably(parent, [&] {
        for (qsizetype i = 0; i < children.size(); ++i)
            numberSubtree(*children.at(i), previous, formats, int(path.size()), int(i), hidden,
                          keepUnchanged, handDown);
    });
}

void renumberChildrenOf(const QList<TWMapBranch *> &parents, const QStringList &mapFormats)
{
    if (parents.isEmpty())
        return;
    renumberUndoably(*parents.first(), [&] {
        for (TWMapBranch *parent : parents)
            renumberChildrenOf(*parent, mapFormats, true);
    });
}

TWPartialRenumbering::TWPartialRenumbering(const TWMap &map, QList<TWMapBranch *> parents)
    : m_map(&map), m_parents(std::move(parents)), m_outer(s_innermost)
{
    s_innermost = this;
}

TWPartialRenumbering::~TWPartialRenumbering()
{
    s_innermost = m_outer;
}

const QList<TWMapBranch *> *TWPartialRenumbering::parentsFor(const TWMap &map)
{
    for (const TWPartialRenumbering *open = s_innermost; open; open = open->m_outer) {
        if (open->m_map == &map)
            return &open->m_parents;
    }
    return nullptr;
}

void TWMapBranch::generateOutlineNumberFromPreviousOutlineNumber(const QString &previous,
                                                                 const QStringList &formatSettings)
{
    renumberUndoably(*this, [&] {
        numberSubtree(*this, previous, formatSettings, getThisBranchLevel(), childIndex(),
                      ancestorHidesOutlineNumberForChildren());
    });
}

bool TWMapBranch::ancestorHidesOutlineNumberForChildren() const
{
    for (const TWMapBranch *p = parent(); p; p = p->parent()) {
        if (p->hideChildrenOutlineNumbers())
            return true;
    }
    return false;
}

namespace {

// Bumped by every hand-down: a number found up to date since is still.
quint64 s_numberEpoch = 1;
// The last stamp a hand-down got.
quint64 s_lastHandDown = 0;

} // namespace

bool TWMapBranch::assignWalkedNumber(const NumberState &state, bool handDown, NumberState *old)
{
    takeUpHandedDownNumber();
    if (old)
        *old = {m_outlineNumber, m_outlineNumberPart};
    m_outlineNumberPart = state.part;
    const bool changed = assignOutlineNumber(state.number);
    m_handedDownNumber = resetChildrenOutlineNumbers() ? QStringLiteral("") : m_outlineNumber;
    if (changed && handDown) {
        m_handedDownStamp = ++s_lastHandDown;
        ++s_numberEpoch;
    }
    m_numberCheckedAt = s_numberEpoch;
    return changed;
}

void TWMapBranch::takeUpHandedDownNumber()
{
    if (m_numberCheckedAt == s_numberEpoch)
        return;
    // From the highest ancestor not found up to date since the last
    // hand-down, down to this branch; without recursion, for deep maps.
    QVarLengthArray<TWMapBranch *, 32> chain;
    for (TWMapBranch *b = this; b && b->m_numberCheckedAt != s_numberEpoch; b = b->m_parentBranch)
        chain.append(b);
    for (qsizetype i = chain.size(); i-- > 0;) {
        TWMapBranch &b = *chain[i];
        b.m_numberCheckedAt = s_numberEpoch;
        const TWMapBranch *parent = b.m_parentBranch;
        if (!parent || parent->m_handedDownStamp == b.m_takenUpStamp)
            continue;
        b.m_takenUpStamp = parent->m_handedDownStamp;
        // Only a number made from the parent's follows it.
        if (b.m_outlineNumberPart.isNull())
            continue;
        const QString &prefix = parent->m_handedDownNumber;
        QString number = prefix.isEmpty() ? b.m_outlineNumberPart
                                           : prefix + QLatin1Char('.') + b.m_outlineNumberPart;
        if (number == b.m_outlineNumber)
            continue;
        // From one number to another: the label stays and waits, hidden.
        b.passNumberLabelSizeOn();
        b.m_outlineNumber = std::move(number);
        b.m_outlineNumberLabelPending = true;
        b.m_handedDownNumber =
            b.resetChildrenOutlineNumbers() ? QStringLiteral("") : b.m_outlineNumber;
        b.m_handedDownStamp = ++s_lastHandDown;
    }
}

const QString &TWMapBranch::outlineNumber() const
{
    const_cast<TWMapBranch *>(this)->takeUpHandedDownNumber();
    return m_outlineNumber;
}

bool TWMapBranch::outlineNumberLabelPending() const
{
    const_cast<TWMapBranch *>(this)->takeUpHandedDownNumber();
    return m_outlineNumberLabelPending;
}

std::optional<QString> TWMapBranch::convertNumberToLetters(int index)
{
    if (index < 0 || index > 676)
        return std::nullopt;
    QString letters;
    if (index >= 26)
        letters.append(QLatin1Char(char('a' + index / 26 - 1)));
    letters.append(QLatin1Char(char('a' + index % 26)));
    return letters;
}

std::optional<QString> TWMapBranch::convertNumberToRomanNumerals(int n)
{
    if (n < 1 || n > 4999999)
        return std::nullopt;
    // One, five and ten of each power of ten; upper case stands for thousands.
    static const char triples[7][3] = {{'i', 'v', 'x'}, {'x', 'l', 'c'}, {'c', 'd', 'm'},
                                       {'m', 'V', 'X'}, {'X', 'L', 'C'}, {'C', 'D', 'M'},
                                       {'M', 0, 0}};
    const QByteArray digits = QByteArray::number(n);
    QString numeral;
    for (qsizetype k = 0; k < digits.size(); ++k) {
        const int power = int(digits.size() - 1 - k);
        const int digit = digits.at(k) - '0';
        char one = triples[power][0];
        const char five = triples[power][1];
        const char ten = triples[power][2];
        // Six to nine thousand read as V and IX over the thousands' m.
        if (power == 3 && digit >= 6)
            one = 'I';
        auto add = [&numeral](char c, int times = 1) {
            for (int i = 0; i < times; ++i)
                numeral.append(QLatin1Char(c));
        };
        switch (digit) {
        case 1:
        case 2:
        case 3:
            add(one, digit);
            break;
        case 4:
            if (power == 3 || power == 6) {
                add(one, 4);
            } else {
                add(one);
                add(five);
            }
            break;
        case 5:
        case 6:
        case 7:
        case 8:
            add(five);
            add(one, digit - 5);
            break;
        case 9:
            add(one);
            add(ten);
            break;
        default:
            break;
        }
    }
    return numeral;
}
