#include "interface/AboutPanelController.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// Hides the panel when it stops being the active window.
class DeactivationWatcher : public QObject
{
public:
    DeactivationWatcher(AboutPanelController *controller, QObject *parent)
        : QObject(parent), m_controller(controller)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowDeactivate)
            m_controller->hidePanel();
        return false;
    }

private:
    AboutPanelController *m_controller;
};

} // namespace

AboutPanelController &AboutPanelController::sharedInstance()
{
    static AboutPanelController *shared = new AboutPanelController;
    return *shared;
}

QVariantMap AboutPanelController::applicationBundleInfo()
{
    QVariantMap info;
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty()) {
        info.insert(QStringLiteral("CFBundleShortVersionString"), version);
        info.insert(QStringLiteral("CFBundleVersion"), version);
    }
    return info;
}

QString AboutPanelController::textToScroll()
{
    return QStringLiteral(
        "<p align=\"center\"><b>Thinkweb</b></p>"
        "<p align=\"center\">Mind maps for the desktop.</p>"
        "<p align=\"center\"><b>Built with</b><br>Qt<br>libxml2<br>libarchive<br>zlib<br>"
        "fontconfig</p>"
        "<p align=\"center\"><b>Thanks</b><br>to everyone who sent maps, ideas and bug "
        "reports.</p>");
}

AboutPanelController::AboutPanelController(const QVariantMap &bundleInfo)
    : m_openURL([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    createPanelToDisplay();
    displayVersionInfo(bundleInfo);
    loadTextToScroll();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_panelToDisplay->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_panelToDisplay->move(frame.topLeft());
    }
    watchForNotificationsWhichShouldHidePanel();
}

AboutPanelController::~AboutPanelController()
{
    stopScrollingAnimation();
}

void AboutPanelController::createPanelToDisplay()
{
    m_panelToDisplay = std::make_unique<NSFancyPanel>();
    NSFancyPanel *panel = m_panelToDisplay.get();
    panel->setDelegate(this);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    panel->setPalette(palette);

    auto *layout = new QVBoxLayout(panel);
    auto *title = m_titleField = new QLabel(panel);
    title->setTextFormat(Qt::RichText);
    title->setAlignment(Qt::AlignCenter);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    title->setFont(titleFont);
    m_shortInfoField = new QLabel(panel);
    m_shortInfoField->setAlignment(Qt::AlignCenter);
    m_versionField = new QLabel(panel);
    m_versionField->setAlignment(Qt::AlignCenter);
    m_visitThinkwebButton = new QPushButton(QStringLiteral("Visit the Thinkweb site"), panel);
    connect(m_visitThinkwebButton, &QPushButton::clicked, this,
            &AboutPanelController::visitThinkweb);
    m_textView = new QTextEdit(panel);
    m_textView->setReadOnly(true);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setFocusPolicy(Qt::NoFocus);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textView->setFixedHeight(140);

    layout->addWidget(title);
    layout->addWidget(m_shortInfoField);
    layout->addWidget(m_versionField);
    layout->addWidget(m_visitThinkwebButton, 0, Qt::AlignHCenter);
    layout->addWidget(m_textView);
    panel->resize(340, 320);
}

void AboutPanelController::displayVersionInfo(const QVariantMap &bundleInfo)
{
    const QVariant shortVersion = bundleInfo.value(QStringLiteral("CFBundleShortVersionString"));
    if (shortVersion.isValid())
        m_shortInfoField->setText(shortVersion.toString());
    const QVariant version = bundleInfo.value(QStringLiteral("CFBundleVersion"));
    if (version.isValid())
        m_versionField->setText(QStringLiteral("Version ") + version.toString());
}

void AboutPanelController::loadTextToScroll()
{
    m_textView->setHtml(textToScroll());
    // Blank lines after the credits let them scroll wholly out of view.
    QTextCursor cursor(m_textView->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString(30, u'\n'));
}

void AboutPanelController::watchForNotificationsWhichShouldHidePanel()
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    hidePanel();
            });
    m_panelToDisplay->installEventFilter(new DeactivationWatcher(this, this));
}

void AboutPanelController::showPanel()
{
    // The edition running, as the program names itself.
    const QString name = QCoreApplication::applicationName();
    m_titleField->setText(QStringLiteral("<b>%1</b>")
                              .arg(name.isEmpty() ? QStringLiteral("Thinkweb") : name.toHtmlEscaped()));
    setScrollAmount(0);
    startScrollingAnimation();
    m_panelToDisplay->show();
    m_panelToDisplay->raise();
    m_panelToDisplay->activateWindow();
}

void AboutPanelController::hidePanel()
{
    stopScrollingAnimation();
    m_panelToDisplay->hide();
}

qreal AboutPanelController::scrollAmount() const
{
    return m_textView->verticalScrollBar()->value();
}

void AboutPanelController::setScrollAmount(qreal y)
{
    m_textView->verticalScrollBar()->setValue(int(y));
    m_textView->viewport()->update();
}

void AboutPanelController::scrollOneUnit()
{
    setScrollAmount(scrollAmount() + 1.0);
}

void AboutPanelController::startScrollingAnimation()
{
    if (m_scrollingTimer)
        return;
    m_scrollingTimer = std::make_unique<QTimer>();
    m_scrollingTimer->setInterval(scrollInterval);
    connect(m_scrollingTimer.get(), &QTimer::timeout, this, &AboutPanelController::scrollOneUnit);
    m_scrollingTimer->start();
}

void AboutPanelController::stopScrollingAnimation()
{
    m_scrollingTimer.reset();
}

void AboutPanelController::setShowsScroller(bool shows)
{
    m_textView->setVerticalScrollBarPolicy(shows ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void AboutPanelController::visitThinkweb()
{
    if (m_openURL)
        m_openURL(webSiteURL);
}

bool AboutPanelController::handlesKeyDown(QKeyEvent *, QWidget *)
{
    hidePanel();
    return true;
}

bool AboutPanelController::handlesMouseDown(QMouseEvent *event, QWidget *)
{
    const QPoint inButton = m_visitThinkwebButton->mapFromGlobal(event->globalPosition().toPoint());
    if (m_visitThinkwebButton->rect().contains(inButton))
        return false;
    hidePanel();
    return true;
}
