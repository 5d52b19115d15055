#pragma once

#include "interface/TWHyperlinkableText.h"
#include "support/TextAttachment.h"

#include <QTextEdit>
#include <QUrl>
#include <functional>
#include <optional>
#include <utility>

class QMenu;

// A rich-text editor whose links are character attributes: its context menu
// adds, edits and removes them, Alt-click follows one, and the pointer and
// a tool tip show them. A plain click edits the link's text like any other.
class TWHyperlinkableTextView : public QTextEdit
{
    Q_OBJECT

public:
    explicit TWHyperlinkableTextView(QWidget *parent = nullptr);

    // Where addresses are asked for; empty: the shared address panel.
    void setURLGetter(TWHyperlinkableText::URLGetter getter) { m_urlGetter = std::move(getter); }
    // Where a followed link goes; empty: the desktop's handler for it.
    using LinkFollower = std::function<void(const QUrl &)>;
    void setLinkFollower(LinkFollower follow) { m_followLink = std::move(follow); }
    // The address panel is up: losing the focus to it ends nothing.
    bool isAskingForURL() const { return m_askingForURL; }

    // The character under a point of the viewport, when there is one.
    virtual std::optional<qsizetype> characterIndexAt(const QPoint &viewportPoint) const;
    // The link under a point of the viewport and its character index.
    std::optional<QUrl> linkAt(const QPoint &viewportPoint, qsizetype *index = nullptr) const;
    // The tool tip for a point: the link's address with the hint to follow
    // it, empty off links.
    QString toolTipAt(const QPoint &viewportPoint) const;

    // The context menu for a point: the editor's own items, a separator and
    // the hyperlink items. The caller owns it.
    QMenu *createHyperlinkContextMenu(const QPoint &viewportPoint);

    // The menu's commands. Each answers whether the text changed; a change
    // is announced as typing would be.
    bool addHyperlinkToText();
    bool editHyperlinkInText(qsizetype index);
    bool removeHyperlinkFromText(qsizetype index);
    // A click on a link: followed only with Alt held. True when followed.
    bool clickedOnLink(const QUrl &link, Qt::KeyboardModifiers modifiers);

    // --- pictures embedded from other programs (LinkBack) ---
    // Sends such a picture back to the program that made it for editing;
    // true when that program took it. Without one the pictures stay inert.
    using LinkBackEditor = std::function<bool(const TextAttachment &)>;
    void setLinkBackEditor(LinkBackEditor editor) { m_linkBackEditor = std::move(editor); }
    bool editsLinkBackItems() const { return bool(m_linkBackEditor); }
    // Those in the selection, in text order, each item once; with nothing
    // selected, the one just after the caret.
    QList<TextAttachment> selectedLinkBackTextAttachments() const;
    // False for other attachments, for one without its source's data and
    // when its source did not take it.
    bool editLinkBackInTextAttachment(const TextAttachment &attachment);
    // Every selected one, the last first.
    void editLinkBackItems();
    // The Edit LinkBack Item command for the selection: enabled, and its title.
    std::pair<bool, QString> linkBackEditItemState() const;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;

    // Subclasses that draw at another scale map their own pointer events
    // and call these with the viewport point.
    // True when the press followed a link (and must go no further).
    bool followLinkForPress(QMouseEvent *event);
    // True when a double click opened the embedded picture under it in its
    // source (and must go no further).
    bool editLinkBackForDoubleClick(QMouseEvent *event);
    // The pointing hand over links, the editor's cursor elsewhere.
    void updateLinkCursor(const QPoint &viewportPoint);
    // The point of the laid-out document under a viewport point.
    virtual QPointF documentPoint(const QPoint &viewportPoint) const;

private:
    // Runs `change` on the whole text and puts the result back with the
    // selection as it was.
    bool changeText(const std::function<bool(AttributedString &)> &change);
    // The address for a link, from the test's getter or the address panel.
    std::optional<QString> askForURL(const QString &address);

    TWHyperlinkableText::URLGetter m_urlGetter;
    LinkFollower m_followLink;
    LinkBackEditor m_linkBackEditor;
    bool m_askingForURL = false;
};
