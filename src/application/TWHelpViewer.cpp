#include "application/TWHelpViewer.h"

#include "platform/TWLocalizedString.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

TWHelpViewer::TWHelpViewer(OpenExternal openExternal, QWidget *parent)
    : QWidget(parent, Qt::Window), m_openExternal(std::move(openExternal))
{
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(TWLocalizedString(StringTable::DadoZiz, "Thinkweb Help"));
    auto *column = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    auto *back = new QPushButton(TWLocalizedString(StringTable::DadoZiz, "Back"), this);
    auto *home = new QPushButton(TWLocalizedString(StringTable::DadoZiz, "Contents"), this);
    bar->addWidget(back);
    bar->addWidget(home);
    bar->addStretch(1);
    column->addLayout(bar);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenLinks(false);
    column->addWidget(m_browser, 1);
    resize(640, 560);

    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    back->setEnabled(false);
    connect(home, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(currentTitle()); });
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const QUrl target = m_browser->source().resolved(link);
        if (target.isLocalFile())
            m_browser->setSource(target);
        else if (m_openExternal)
            m_openExternal(target);
    });
}

void TWHelpViewer::showPage(const QUrl &page)
{
    m_browser->setSource(page);
    show();
    raise();
    activateWindow();
}

QUrl TWHelpViewer::currentPage() const
{
    return m_browser->source();
}

QString TWHelpViewer::currentTitle() const
{
    const QString title = m_browser->documentTitle();
    return title.isEmpty() ? TWLocalizedString(StringTable::DadoZiz, "Thinkweb Help") : title;
}
