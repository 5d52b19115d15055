#include "interface/TWHyperlinkableTextView.h"

#include "interface/TWURLGetter.h"
#include "support/AttributedStringDocument.h"
#include "support/LinkBackData.h"
#include "support/TextAttachment.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

namespace ASD = AttributedStringDocument;

TWHyperlinkableTextView::TWHyperlinkableTextView(QWidget *parent) : QTextEdit(parent)
{
    // The pointer changes over links without a button held.
    viewport()->setMouseTracking(true);
}

QPointF TWHyperlinkableTextView::documentPoint(const QPoint &viewportPoint) const
{
    return QPointF(viewportPoint) +
           QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

std::optional<qsizetype> TWHyperlinkableTextView::characterIndexAt(const QPoint &viewportPoint) const
{
    if (!viewport()->rect().contains(viewportPoint))
        return std::nullopt;
    const int position =
        document()->documentLayout()->hitTest(documentPoint(viewportPoint), Qt::ExactHit);
    if (position < 0 || position >= document()->characterCount() - 1)
        return std::nullopt;
    return position;
}

std::optional<QUrl> TWHyperlinkableTextView::linkAt(const QPoint &viewportPoint,
                                                    qsizetype *index) const
{
    const std::optional<qsizetype> character = characterIndexAt(viewportPoint);
    if (!character)
        return std::nullopt;
    const std::optional<QUrl> link =
        TWHyperlinkableText::linkAtIndex(ASD::attributedString(*document()), *character);
    if (link && index)
        *index = *character;
    return link;
}

QString TWHyperlinkableTextView::toolTipAt(const QPoint &viewportPoint) const
{
    const std::optional<QUrl> link = linkAt(viewportPoint);
    return link ? TWHyperlinkableText::toolTipForLink(*link) : QString();
}

QMenu *TWHyperlinkableTextView::createHyperlinkContextMenu(const QPoint &viewportPoint)
{
    QMenu *menu = createStandardContextMenu(viewportPoint);
    if (!menu)
        menu = new QMenu(this);
    menu->addSeparator();
    qsizetype index = 0;
    const std::optional<QUrl> link = linkAt(viewportPoint, &index);
    const QTextCursor cursor = textCursor();
    const AttributedString::Range selected{cursor.selectionStart(),
                                           cursor.selectionEnd() - cursor.selectionStart()};
    using Item = TWHyperlinkableText::MenuItem;
    if (m_linkBackEditor) {
        // The menu bar's command, here too: the notes pane has no menu bar.
        const auto [enabled, title] = linkBackEditItemState();
        QAction *edit = menu->addAction(title);
        edit->setObjectName(QStringLiteral("editLinkBackItems:"));
        edit->setEnabled(enabled);
        connect(edit, &QAction::triggered, this, [this] { editLinkBackItems(); });
        menu->addSeparator();
    }
    for (const Item &item :
         TWHyperlinkableText::menuItems(link ? std::optional(index) : std::nullopt, selected)) {
        QAction *action = menu->addAction(item.title);
        const qsizetype tag = item.tag;
        switch (item.action) {
        case Item::Action::Add:
            connect(action, &QAction::triggered, this, [this] { addHyperlinkToText(); });
            break;
        case Item::Action::Edit:
            connect(action, &QAction::triggered, this, [this, tag] { editHyperlinkInText(tag); });
            break;
        case Item::Action::Remove:
            connect(action, &QAction::triggered, this,
                    [this, tag] { removeHyperlinkFromText(tag); });
            break;
        }
    }
    return menu;
}

bool TWHyperlinkableTextView::changeText(const std::function<bool(AttributedString &)> &change)
{
    AttributedString text = ASD::attributedString(*document());
    if (!change(text))
        return false;
    const QTextCursor before = textCursor();
    const int anchor = before.anchor(), position = before.position();
    // Replaced through the document, so that the change reaches whoever
    // listens to typing.
    ASD::setDocumentText(*document(), text);
    QTextCursor cursor(document());
    const int end = document()->characterCount() - 1;
    cursor.setPosition(std::clamp(anchor, 0, end));
    cursor.setPosition(std::clamp(position, 0, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    viewport()->update();
    return true;
}

std::optional<QString> TWHyperlinkableTextView::askForURL(const QString &address)
{
    if (m_urlGetter)
        return m_urlGetter(address);
    m_askingForURL = true;
    const std::optional<QString> answer = TWURLGetter::sharedURLGetter().runWithURL(address);
    m_askingForURL = false;
    setFocus();
    return answer;
}

bool TWHyperlinkableTextView::addHyperlinkToText()
{
    const QTextCursor cursor = textCursor();
    const AttributedString::Range selected{cursor.selectionStart(),
                                           cursor.selectionEnd() - cursor.selectionStart()};
    return changeText([&](AttributedString &text) {
        return TWHyperlinkableText::addHyperlinkToText(
            text, selected, [this](const QString &address) { return askForURL(address); });
    });
}

bool TWHyperlinkableTextView::editHyperlinkInText(qsizetype index)
{
    return changeText([&](AttributedString &text) {
        return TWHyperlinkableText::editHyperlinkInText(
            text, index, [this](const QString &address) { return askForURL(address); });
    });
}

bool TWHyperlinkableTextView::removeHyperlinkFromText(qsizetype index)
{
    return changeText([index](AttributedString &text) {
        return TWHyperlinkableText::removeHyperlinkFromText(text, index);
    });
}

bool TWHyperlinkableTextView::clickedOnLink(const QUrl &link, Qt::KeyboardModifiers modifiers)
{
    if (!TWHyperlinkableText::clickFollowsLink(modifiers))
        return false;
    if (m_followLink)
        m_followLink(link);
    else
        QDesktopServices::openUrl(link);
    return true;
}

bool TWHyperlinkableTextView::followLinkForPress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const std::optional<QUrl> link = linkAt(event->position().toPoint());
    if (!link || !clickedOnLink(*link, event->modifiers()))
        return false;
    event->accept();
    return true;
}

namespace {
// The LinkBack attachment shown by the character at `index`, if it is one.
std::optional<TextAttachment> linkBackAttachmentAt(const AttributedString &text, qsizetype index)
{
    if (index < 0 || index >= text.length() || text.string().at(index) != QChar(0xFFFC))
        return std::nullopt;
    const QVariant value = text.attributesAtIndex(index).value(NSAttachmentAttributeName);
    if (!value.canConvert<TextAttachment>())
        return std::nullopt;
    TextAttachment attachment = value.value<TextAttachment>();
    if (!attachment.isLinkBackAttachment())
        return std::nullopt;
    return attachment;
}
} // namespace

QList<TextAttachment> TWHyperlinkableTextView::selectedLinkBackTextAttachments() const
{
    const AttributedString text = ASD::attributedString(*document());
    const QTextCursor cursor = textCursor();
    const qsizetype start = cursor.selectionStart();
    // The character after the caret stands for an empty selection.
    const qsizetype end = std::max<qsizetype>(cursor.selectionEnd(), start + 1);
    QList<TextAttachment> found;
    QStringList keys;
    for (qsizetype i = start; i < end && i < text.length(); ++i) {
        const std::optional<TextAttachment> attachment = linkBackAttachmentAt(text, i);
        if (!attachment || keys.contains(attachment->linkBackItemKey()))
            continue;
        keys << attachment->linkBackItemKey();
        found << *attachment;
    }
    return found;
}

bool TWHyperlinkableTextView::editLinkBackInTextAttachment(const TextAttachment &attachment)
{
    if (!m_linkBackEditor || !attachment.isLinkBackAttachment() ||
        attachment.linkBackData().toMap().isEmpty())
        return false;
    return m_linkBackEditor(attachment);
}

void TWHyperlinkableTextView::editLinkBackItems()
{
    const QList<TextAttachment> items = selectedLinkBackTextAttachments();
    for (auto it = items.crbegin(); it != items.crend(); ++it)
        editLinkBackInTextAttachment(*it);
}

std::pair<bool, QString> TWHyperlinkableTextView::linkBackEditItemState() const
{
    const QList<TextAttachment> items = selectedLinkBackTextAttachments();
    if (items.isEmpty())
        return {false, LinkBackEditNoneMenuTitle()};
    if (items.size() > 1)
        return {bool(m_linkBackEditor), LinkBackEditMultipleMenuTitle()};
    return {bool(m_linkBackEditor),
            LinkBackData::linkBackEditMenuTitle(items.first().linkBackData().toMap())};
}

bool TWHyperlinkableTextView::editLinkBackForDoubleClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_linkBackEditor)
        return false;
    const std::optional<qsizetype> index = characterIndexAt(event->position().toPoint());
    const std::optional<TextAttachment> attachment =
        index ? linkBackAttachmentAt(ASD::attributedString(*document()), *index) : std::nullopt;
    if (!attachment || !editLinkBackInTextAttachment(*attachment))
        return false;
    event->accept();
    return true;
}

void TWHyperlinkableTextView::updateLinkCursor(const QPoint &viewportPoint)
{
    if (linkAt(viewportPoint))
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        viewport()->setCursor(Qt::IBeamCursor);
}

void TWHyperlinkableTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createHyperlinkContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TWHyperlinkableTextView::mousePressEvent(QMouseEvent *event)
{
    if (!followLinkForPress(event))
        QTextEdit::mousePressEvent(event);
}

void TWHyperlinkableTextView::mouseMoveEvent(QMouseEvent *event)
{
    QTextEdit::mouseMoveEvent(event);
    // After the editor, which sets its own cursor on every move.
    updateLinkCursor(event->position().toPoint());
}

void TWHyperlinkableTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!editLinkBackForDoubleClick(event))
        QTextEdit::mouseDoubleClickEvent(event);
}

bool TWHyperlinkableTextView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QTextEdit::viewportEvent(event);
}
