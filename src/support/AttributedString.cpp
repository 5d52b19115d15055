#include "support/AttributedString.h"

#include <QChar>
#include <QtDebug>
#include <algorithm>

AttributedString::AttributedString(const QString &string, const TextAttributes &attributes)
    : m_string(string)
{
    if (!m_string.isEmpty())
        m_runs.push_back({0, attributes});
}

qsizetype AttributedString::runIndexAt(qsizetype index) const
{
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                               [](qsizetype i, const Run &run) { return i < run.start; });
    return qsizetype(it - m_runs.begin()) - 1;
}

qsizetype AttributedString::runEnd(qsizetype run) const
{
    return run + 1 < qsizetype(m_runs.size()) ? m_runs[run + 1].start : m_string.size();
}

AttributedString::Range AttributedString::runRange(qsizetype run) const
{
    return {m_runs[run].start, runEnd(run) - m_runs[run].start};
}

// Makes a run begin at position and returns its index (the run count when
// position is the end of the text).
qsizetype AttributedString::splitAt(qsizetype position)
{
    if (position >= m_string.size())
        return qsizetype(m_runs.size());
    if (position <= 0)
        return 0;
    const qsizetype run = runIndexAt(position);
    if (m_runs[run].start == position)
        return run;
    m_runs.insert(m_runs.begin() + run + 1, Run{position, m_runs[run].attributes});
    return run + 1;
}

// Joins every run in [first, last] with its predecessor when their attributes
// are equal.
void AttributedString::mergeRuns(qsizetype first, qsizetype last)
{
    first = std::max<qsizetype>(first, 1);
    last = std::min<qsizetype>(last, qsizetype(m_runs.size()) - 1);
    if (first > last)
        return;
    qsizetype kept = first - 1;
    for (qsizetype k = first; k <= last; ++k) {
        if (m_runs[k].attributes == m_runs[kept].attributes)
            continue;
        ++kept;
        if (kept != k)
            m_runs[kept] = std::move(m_runs[k]);
    }
    m_runs.erase(m_runs.begin() + kept + 1, m_runs.begin() + last + 1);
}

bool AttributedString::clip(Range &range, const char *operation) const
{
    const qsizetype size = m_string.size();
    if (range.location < 0 || range.length < 0 || range.location > size) {
        qWarning("AttributedString %s: range {%lld, %lld} lies outside a text of %lld "
                 "characters; ignored",
                 operation, qlonglong(range.location), qlonglong(range.length), qlonglong(size));
        return false;
    }
    if (range.length > size - range.location) {
        qWarning("AttributedString %s: range {%lld, %lld} ends after a text of %lld characters; "
                 "cut at the end",
                 operation, qlonglong(range.location), qlonglong(range.length), qlonglong(size));
        range.length = size - range.location;
    }
    return true;
}

template <typename Fn>
void AttributedString::modifyRange(Range range, const char *operation, Fn &&fn)
{
    if (!clip(range, operation) || range.length == 0)
        return;
    const qsizetype first = splitAt(range.location);
    const qsizetype last = splitAt(range.end());
    for (qsizetype k = first; k < last; ++k)
        fn(m_runs[k].attributes);
    mergeRuns(first, last);
}

TextAttributes AttributedString::attributesAtIndex(qsizetype index, Range *effectiveRange) const
{
    return attributesAtIndex(index, effectiveRange, Range{0, m_string.size()});
}

TextAttributes AttributedString::attributesAtIndex(qsizetype index, Range *longestEffectiveRange,
                                                   Range rangeLimit) const
{
    if (index < 0 || index >= m_string.size()) {
        qWarning("AttributedString attributesAtIndex: index %lld outside a text of %lld "
                 "characters",
                 qlonglong(index), qlonglong(m_string.size()));
        if (longestEffectiveRange)
            *longestEffectiveRange = {std::clamp<qsizetype>(index, 0, m_string.size()), 0};
        return {};
    }
    const qsizetype run = runIndexAt(index);
    if (longestEffectiveRange) {
        const qsizetype limitStart = std::max<qsizetype>(rangeLimit.location, 0);
        const qsizetype limitEnd = std::max(limitStart, rangeLimit.end());
        const qsizetype start = std::max(m_runs[run].start, std::min(limitStart, index));
        const qsizetype end = std::min(runEnd(run), std::max(limitEnd, index + 1));
        *longestEffectiveRange = {start, end - start};
    }
    return m_runs[run].attributes;
}

QVariant AttributedString::attribute(const QString &key, qsizetype index,
                                     Range *longestEffectiveRange) const
{
    return attribute(key, index, longestEffectiveRange, Range{0, m_string.size()});
}

QVariant AttributedString::attribute(const QString &key, qsizetype index,
                                     Range *longestEffectiveRange, Range rangeLimit) const
{
    if (index < 0 || index >= m_string.size()) {
        qWarning("AttributedString attribute: index %lld outside a text of %lld characters",
                 qlonglong(index), qlonglong(m_string.size()));
        if (longestEffectiveRange)
            *longestEffectiveRange = {std::clamp<qsizetype>(index, 0, m_string.size()), 0};
        return {};
    }
    const qsizetype run = runIndexAt(index);
    const auto found = m_runs[run].attributes.constFind(key);
    const bool present = found != m_runs[run].attributes.constEnd();
    const QVariant value = present ? *found : QVariant();
    if (!longestEffectiveRange)
        return value;

    const auto same = [&](const Run &other) {
        const auto it = other.attributes.constFind(key);
        if (it == other.attributes.constEnd())
            return !present;
        return present && *it == value;
    };
    const qsizetype limitStart = std::min(std::max<qsizetype>(rangeLimit.location, 0), index);
    const qsizetype limitEnd = std::max(rangeLimit.end(), index + 1);
    qsizetype first = run;
    while (first > 0 && m_runs[first].start > limitStart && same(m_runs[first - 1]))
        --first;
    qsizetype last = run;
    while (last + 1 < qsizetype(m_runs.size()) && runEnd(last) < limitEnd && same(m_runs[last + 1]))
        ++last;
    const qsizetype start = std::max(m_runs[first].start, limitStart);
    const qsizetype end = std::min(runEnd(last), limitEnd);
    *longestEffectiveRange = {start, end - start};
    return value;
}

void AttributedString::addAttribute(const QString &key, const QVariant &value, Range range)
{
    if (!value.isValid()) {
        qWarning("AttributedString addAttribute: no value for attribute %s; ignored",
                 qPrintable(key));
        return;
    }
    modifyRange(range, "addAttribute", [&](TextAttributes &a) { a.insert(key, value); });
}

void AttributedString::addAttributes(const TextAttributes &attributes, Range range)
{
    if (attributes.isEmpty())
        return;
    modifyRange(range, "addAttributes", [&](TextAttributes &a) {
        for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
            if (it->isValid())
                a.insert(it.key(), *it);
    });
}

void AttributedString::setAttributes(const TextAttributes &attributes, Range range)
{
    modifyRange(range, "setAttributes", [&](TextAttributes &a) { a = attributes; });
}

void AttributedString::removeAttribute(const QString &key, Range range)
{
    modifyRange(range, "removeAttribute", [&](TextAttributes &a) { a.remove(key); });
}

void AttributedString::replaceCharactersInRange(Range range, const QString &string)
{
    if (!clip(range, "replaceCharactersInRange"))
        return;
    TextAttributes attributes;
    if (range.length > 0)
        attributes = m_runs[runIndexAt(range.location)].attributes;
    else if (range.location > 0)
        attributes = m_runs[runIndexAt(range.location - 1)].attributes;
    else if (!m_runs.empty())
        attributes = m_runs.front().attributes;
    replaceCharactersInRange(range, AttributedString(string, attributes));
}

void AttributedString::replaceCharactersInRange(Range range, const AttributedString &string)
{
    if (!clip(range, "replaceCharactersInRange"))
        return;
    if (range.length == 0 && string.isEmpty())
        return;
    const qsizetype shift = string.length() - range.length;

    std::vector<Run> runs;
    runs.reserve(m_runs.size() + string.m_runs.size() + 1);
    qsizetype k = 0;
    for (; k < qsizetype(m_runs.size()) && m_runs[k].start < range.location; ++k)
        runs.push_back(m_runs[k]);
    const qsizetype insertedAt = qsizetype(runs.size());
    for (const Run &run : string.m_runs)
        runs.push_back({run.start + range.location, run.attributes});
    const qsizetype followingAt = qsizetype(runs.size());
    if (range.end() < m_string.size()) {
        const qsizetype run = runIndexAt(range.end());
        runs.push_back({range.end() + shift, m_runs[run].attributes});
        for (k = run + 1; k < qsizetype(m_runs.size()); ++k)
            runs.push_back({m_runs[k].start + shift, m_runs[k].attributes});
    }

    m_string.replace(range.location, range.length, string.m_string);
    m_runs = std::move(runs);
    mergeRuns(insertedAt, followingAt);
}

void AttributedString::deleteCharactersInRange(Range range)
{
    replaceCharactersInRange(range, AttributedString());
}

void AttributedString::insertAttributedString(const AttributedString &string, qsizetype index)
{
    replaceCharactersInRange(Range{index, 0}, string);
}

void AttributedString::appendAttributedString(const AttributedString &string)
{
    // Writers build long texts piece by piece: only the new runs are touched,
    // so appending stays proportional to what is appended.
    if (string.isEmpty())
        return;
    const qsizetype offset = m_string.size();
    const qsizetype first = qsizetype(m_runs.size());
    m_string += string.m_string;
    for (const Run &run : string.m_runs)
        m_runs.push_back({run.start + offset, run.attributes});
    mergeRuns(first, qsizetype(m_runs.size()) - 1);
}

AttributedString AttributedString::attributedSubstringFromRange(Range range) const
{
    AttributedString result;
    if (!clip(range, "attributedSubstringFromRange") || range.length == 0)
        return result;
    result.m_string = m_string.mid(range.location, range.length);
    for (qsizetype k = runIndexAt(range.location);
         k < qsizetype(m_runs.size()) && m_runs[k].start < range.end(); ++k)
        result.m_runs.push_back(
            {std::max<qsizetype>(m_runs[k].start - range.location, 0), m_runs[k].attributes});
    return result;
}

bool AttributedString::isIllegalCharacter(char32_t codePoint)
{
    if (codePoint == '\r' || codePoint == '\n' || codePoint == '\t')
        return false;
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return true;
    if (QChar::isNonCharacter(codePoint))
        return true;
    // Code points our Unicode tables do not know are kept: XML carries them,
    // and a character newer than the tables (a recent emoji) is still text.
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
        return true;
    default:
        return false;
    }
}

AttributedString AttributedString::attributedStringByRemovingIllegalCharacters() const
{
    const qsizetype size = m_string.size();
    std::vector<bool> keep(size_t(size), true);
    bool anyIllegal = false;
    for (qsizetype i = 0; i < size;) {
        const QChar c = m_string.at(i);
        qsizetype width = 1;
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate() && i + 1 < size && m_string.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, m_string.at(i + 1));
            width = 2;
        }
        if (isIllegalCharacter(codePoint)) {
            anyIllegal = true;
            for (qsizetype k = 0; k < width; ++k)
                keep[size_t(i + k)] = false;
        }
        i += width;
    }
    if (!anyIllegal)
        return *this;

    AttributedString result;
    result.m_string.reserve(size);
    for (qsizetype run = 0; run < qsizetype(m_runs.size()); ++run) {
        const qsizetype start = result.m_string.size();
        for (qsizetype i = m_runs[run].start, end = runEnd(run); i < end; ++i)
            if (keep[size_t(i)])
                result.m_string.append(m_string.at(i));
        if (result.m_string.size() == start)
            continue;
        // A run emptied completely may leave two equal neighbours.
        if (!result.m_runs.empty() && result.m_runs.back().attributes == m_runs[run].attributes)
            continue;
        result.m_runs.push_back({start, m_runs[run].attributes});
    }
    return result;
}

bool operator==(const AttributedString &a, const AttributedString &b)
{
    return a.m_string == b.m_string && a.m_runs == b.m_runs;
}
