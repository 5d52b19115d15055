#include "palettes/TWStyleController.h"

#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWStyleView.h"
#include "platform/TWLocalizedString.h"
#include "styles/TWStyleManager.h"

#include <QMenu>

TWStyleController::TWStyleController(const QString &libraryKind, QObject *parent) : QObject(parent)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(TWGraphicBindingController::DocumentWillCloseNotification,
                                         nullptr, [this](const Notification &n) {
                                             if (!m_document.isNull() &&
                                                 n.sender.identity() == m_document.identity)
                                                 setDocument(TWStyleViewDocument());
                                         }));
    m_observers.push_back(
        center.observe(TWStyleManager::StylesDidChangeNotification, nullptr,
                       [this, libraryKind](const Notification &n) {
                           if (n.userInfo.value(TWStyleManager::KindKey).toString() == libraryKind)
                               libraryChanged();
                       }));
}

TWStyleController::~TWStyleController()
{
    if (m_preview)
        m_preview->setStyleMenu(nullptr);
}

QString TWStyleController::dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

QString TWStyleController::general(const char *key)
{
    return TWLocalizedString(StringTable::General, QString::fromUtf8(key));
}

TWStyleManager &TWStyleController::library()
{
    return TWStyleManager::sharedStyleManager();
}

void TWStyleController::setDocument(TWPaletteHost *document)
{
    setDocument(TWStyleViewDocument::of(document));
}

void TWStyleController::setDocument(const TWStyleViewDocument &document)
{
    m_document = document;
    documentChanged();
}

void TWStyleController::setPreview(TWStyleView *preview)
{
    if (m_preview)
        m_preview->setStyleMenu(nullptr);
    m_preview = preview;
    if (m_preview)
        m_preview->setStyle(m_selectedStyle);
    updateStyleMenu();
}

void TWStyleController::setSelectedStyle(const std::shared_ptr<TWStyle> &style)
{
    m_selectedStyle = style;
    if (m_preview)
        m_preview->setStyle(style);
    updateStyleMenu();
}

void TWStyleController::updateStyleMenu()
{
    const QSize size = m_preview ? m_preview->size() : QSize(180, 60);
    std::unique_ptr<QMenu> menu(TWStyleView::makeStyleMenu(
        libraryStyles(), m_selectedStyle, size,
        [this](const std::shared_ptr<TWStyle> &style) { setStyleFromMenuItem(style); },
        [this] { showStyleEditor(); }, this));
    if (m_preview)
        m_preview->setStyleMenu(menu.get());
    m_styleMenu = std::move(menu);
    emit styleMenuChanged();
}

void TWStyleController::addSelectedStyleItems(QMenu *menu)
{
    const bool custom = m_selectedStyle && m_selectedStyle->custom();
    const auto add = [&](const char *title, void (TWStyleController::*action)(), bool enabled) {
        QAction *item = menu->addAction(dadoZiz(title));
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    add("Revert", &TWStyleController::revertSelectedStyle, custom);
    add("Save", &TWStyleController::saveSelectedStyle, custom);
    add("Save As...", &TWStyleController::saveSelectedStyleAs, true);
    add("Delete", &TWStyleController::deleteSelectedStyle, custom);
}
