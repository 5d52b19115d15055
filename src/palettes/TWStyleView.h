#pragma once

#include "styles/TWStyle.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;

// The style in effect, drawn as its preview in a tinted rounded box. A click
// (either button) drops down the view's menu of library styles.
class TWStyleView : public QWidget
{
    Q_OBJECT

public:
    using StyleList = QList<std::shared_ptr<TWStyle>>;

    explicit TWStyleView(QWidget *parent = nullptr);
    ~TWStyleView() override;

    const std::shared_ptr<TWStyle> &style() const { return m_style; }
    void setStyle(const std::shared_ptr<TWStyle> &style);
    bool mouseOver() const { return m_mouseOver; }
    // Not owned: the controller that builds the menu keeps it.
    QMenu *styleMenu() const { return m_menu; }
    void setStyleMenu(QMenu *menu);
    // Drops the menu down at a point of the view; false without a menu.
    bool popUpMenu(QPoint local);

    // Gold for graphic styles, black for any other.
    static QColor accentColor(int styleType);
    // The menu of styles of one kind: sorted by name ignoring case, each a
    // picture of `previewSize` with no title, the one whose identifier is the
    // selected style's checked, then a separator and "Edit Styles". Each
    // style item carries its style as data; its choice reaches `receiver`
    // once the menu has closed.
    static QMenu *makeStyleMenu(const StyleList &styles, const std::shared_ptr<TWStyle> &selected,
                                QSize previewSize,
                                std::function<void(const std::shared_ptr<TWStyle> &)> choose,
                                std::function<void()> editStyles, QObject *receiver,
                                QWidget *parent = nullptr);
    // The style's picture at the size, as previewOfSize() draws it; drawn
    // again only when the style's name, type or properties changed.
    static QImage previewOf(const std::shared_ptr<TWStyle> &style, QSize size);
    // The style an item of that menu carries; null for the others.
    static std::shared_ptr<TWStyle> styleOfAction(const QAction *action);

    QSize sizeHint() const override;

signals:
    void mouseOverChanged(bool inside);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void setMouseOver(bool inside);

    std::shared_ptr<TWStyle> m_style;
    QPointer<QMenu> m_menu;
    bool m_mouseOver = false;
};
