#include "interface/TWHyperlinkableText.h"

#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"

namespace TWHyperlinkableText {

namespace {

std::optional<QUrl> linkValue(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    // Links read from older files may be plain text.
    const QUrl url = value.typeId() == QMetaType::QString ? QUrl(value.toString()) : value.toUrl();
    if (url.isEmpty())
        return std::nullopt;
    return url;
}

Range wholeText(const AttributedString &text)
{
    return {0, text.length()};
}

// The text view's own alerts come without a string table.
void alert(const QString &title, const QString &message)
{
    Alerts::current().runAlertPanel(title, message, {QStringLiteral("OK")});
}

} // namespace

std::optional<QUrl> linkAtIndex(const AttributedString &text, qsizetype index, Range *range)
{
    if (index < 0 || index >= text.length())
        return std::nullopt;
    Range effective;
    const std::optional<QUrl> link =
        linkValue(text.attribute(NSLinkAttributeName, index, &effective, wholeText(text)));
    if (link && range)
        *range = effective;
    return link;
}

QList<LinkRun> linkRunsInRange(const AttributedString &text, Range range)
{
    QList<LinkRun> runs;
    const qsizetype end = std::min(range.end(), text.length());
    qsizetype index = std::max<qsizetype>(range.location, 0);
    while (index < end) {
        Range effective;
        const QVariant value =
            text.attribute(NSLinkAttributeName, index, &effective, {index, end - index});
        if (const std::optional<QUrl> link = linkValue(value))
            runs.append({effective, *link});
        index = std::max(effective.end(), index + 1);
    }
    return runs;
}

std::optional<QUrl> urlWithString(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

QList<MenuItem> menuItems(std::optional<qsizetype> linkIndexUnderMouse, Range selectedRange)
{
    const auto title = [](const char *key) {
        return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
    };
    if (linkIndexUnderMouse)
        return {{title("Edit Hyperlink"), MenuItem::Action::Edit, *linkIndexUnderMouse},
                {title("Remove Hyperlink"), MenuItem::Action::Remove, *linkIndexUnderMouse}};
    if (selectedRange.length > 0)
        return {{title("Add Hyperlink"), MenuItem::Action::Add, 0}};
    return {};
}

bool addHyperlinkToText(AttributedString &text, Range selectedRange, const URLGetter &getURL)
{
    if (selectedRange.length <= 0) {
        alert(QStringLiteral("Create Link"),
              QStringLiteral("Please select some text before creating a link."));
        return false;
    }
    const QString entered = getURL(QString()).value_or(QString());
    if (entered.isEmpty())
        return false;
    const std::optional<QUrl> url = urlWithString(entered);
    if (!url) {
        alert(QStringLiteral("Create link"), QStringLiteral("Invalid URL: %1").arg(entered));
        return false;
    }
    text.addAttribute(NSLinkAttributeName, *url, selectedRange);
    return true;
}

bool editHyperlinkInText(AttributedString &text, qsizetype index, const URLGetter &getURL)
{
    Range range;
    const std::optional<QUrl> link = linkAtIndex(text, index, &range);
    if (!link) {
        alert(QStringLiteral("Edit link"), QStringLiteral("No URL selected"));
        return false;
    }
    const QString old = link->toString();
    // A cancelled panel leaves the address as it was.
    const std::optional<QUrl> url = urlWithString(getURL(old).value_or(old));
    if (!url) {
        Alerts::current().beep();
        return false;
    }
    text.addAttribute(NSLinkAttributeName, *url, range);
    return true;
}

bool removeHyperlinkFromText(AttributedString &text, qsizetype index)
{
    Range range;
    // Without a link at the index the run is plain text whose colour and
    // underline are the user's own.
    if (!linkAtIndex(text, index, &range))
        return false;
    for (const QString &key :
         {NSLinkAttributeName, NSForegroundColorAttributeName, NSUnderlineStyleAttributeName})
        text.removeAttribute(key, range);
    return true;
}

bool clickFollowsLink(Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::AltModifier);
}

QString toolTipForLink(const QUrl &link)
{
    return QStringLiteral("%1 (Alt+Click)").arg(link.toString());
}

} // namespace TWHyperlinkableText
