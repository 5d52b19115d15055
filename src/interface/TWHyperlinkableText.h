#pragma once

#include "support/AttributedString.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// Links inside a text: runs that carry the link attribute. These are the
// operations of the hyperlinkable text view that need no window; the view
// supplies the selection, the clicked character and the address panel.
namespace TWHyperlinkableText {

using Range = AttributedString::Range;

// The link of the character at `index` and the longest run that carries it;
// nothing when the character has no link (or there is no such character).
std::optional<QUrl> linkAtIndex(const AttributedString &text, qsizetype index,
                                Range *range = nullptr);

struct LinkRun
{
    Range range;
    QUrl link;
    friend bool operator==(const LinkRun &, const LinkRun &) = default;
};
// The link runs that meet `range`, clipped to it, in text order.
QList<LinkRun> linkRunsInRange(const AttributedString &text, Range range);

// The address a typed text makes; nothing when it makes none.
std::optional<QUrl> urlWithString(const QString &text);

// What the context menu appends after its separator: edit and remove for the
// link under the mouse (tagged with its character index), else add when text
// is selected.
struct MenuItem
{
    enum class Action { Add, Edit, Remove };
    QString title;
    Action action;
    qsizetype tag = 0;
    friend bool operator==(const MenuItem &, const MenuItem &) = default;
};
QList<MenuItem> menuItems(std::optional<qsizetype> linkIndexUnderMouse, Range selectedRange);

// The address panel: shows the address, answers the entered text, or nothing
// when cancelled.
using URLGetter = std::function<std::optional<QString>(const QString &address)>;

// Each answers whether the text changed; the view then resets its cursor
// rectangles and announces the change. Refusals alert (or beep).
bool addHyperlinkToText(AttributedString &text, Range selectedRange, const URLGetter &getURL);
bool editHyperlinkInText(AttributedString &text, qsizetype index, const URLGetter &getURL);
// Removes the link with its colour and underline from the run at `index`.
bool removeHyperlinkFromText(AttributedString &text, qsizetype index);

// A click follows a link only with the Option (Alt) key held, so that a
// plain click places the insertion point in the link's text.
bool clickFollowsLink(Qt::KeyboardModifiers modifiers);
QString toolTipForLink(const QUrl &link);

} // namespace TWHyperlinkableText
