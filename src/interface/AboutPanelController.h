#pragma once

#include "interface/NSFancyPanel.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTextEdit;

// The About panel: version lines, a button to the web site and credits that
// scroll up by themselves while it is shown. Any key, a click outside the
// button, or the panel or application losing focus hides it.
class AboutPanelController : public QObject, public NSFancyPanelDelegate
{
    Q_OBJECT

public:
    static inline const QUrl webSiteURL = QUrl(QStringLiteral("https://thinkweb.example.org/"));
    static constexpr int scrollInterval = 90; // milliseconds a point

    static AboutPanelController &sharedInstance();

    // `bundleInfo` holds "CFBundleShortVersionString" and "CFBundleVersion"
    // when they are known.
    explicit AboutPanelController(const QVariantMap &bundleInfo = applicationBundleInfo());
    ~AboutPanelController() override;

    static QVariantMap applicationBundleInfo();
    static QString textToScroll();

    void showPanel();
    void hidePanel();
    void setScrollAmount(qreal y);
    void scrollOneUnit();
    void startScrollingAnimation();
    void stopScrollingAnimation();
    void setShowsScroller(bool shows);
    void visitThinkweb();

    bool handlesKeyDown(QKeyEvent *event, QWidget *window) override;
    bool handlesMouseDown(QMouseEvent *event, QWidget *window) override;

    NSFancyPanel *panelToDisplay() const { return m_panelToDisplay.get(); }
    QTextEdit *textView() const { return m_textView; }
    QLabel *titleField() const { return m_titleField; }
    QLabel *versionField() const { return m_versionField; }
    QLabel *shortInfoField() const { return m_shortInfoField; }
    QPushButton *visitThinkwebButton() const { return m_visitThinkwebButton; }
    QTimer *scrollingTimer() const { return m_scrollingTimer.get(); }
    qreal scrollAmount() const;

    // Where the web site is opened; the desktop's browser unless replaced.
    void setURLOpener(std::function<void(const QUrl &)> opener) { m_openURL = std::move(opener); }

private:
    void createPanelToDisplay();
    void displayVersionInfo(const QVariantMap &bundleInfo);
    void loadTextToScroll();
    void watchForNotificationsWhichShouldHidePanel();

    std::unique_ptr<NSFancyPanel> m_panelToDisplay;
    QTextEdit *m_textView = nullptr;
    QLabel *m_titleField = nullptr;
    QLabel *m_versionField = nullptr;
    QLabel *m_shortInfoField = nullptr;
    QPushButton *m_visitThinkwebButton = nullptr;
    std::unique_ptr<QTimer> m_scrollingTimer;
    std::function<void(const QUrl &)> m_openURL;
};
