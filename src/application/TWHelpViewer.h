#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QTextBrowser;

// The program's own window for its help pages: they need no browser, and a
// link that leaves them (web, mail) goes to the desktop's handler.
class TWHelpViewer : public QWidget
{
    Q_OBJECT

public:
    using OpenExternal = std::function<void(const QUrl &url)>;

    explicit TWHelpViewer(OpenExternal openExternal, QWidget *parent = nullptr);

    // Shows the page and brings the window forward.
    void showPage(const QUrl &page);
    QUrl currentPage() const;
    QString currentTitle() const;
    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser = nullptr;
    OpenExternal m_openExternal;
};
