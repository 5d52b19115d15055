#include "palettes/TWPalettesController.h"

#include "palettes/TWAddPalettes.h"
#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteGroup.h"
#include "palettes/TWStylePalettes.h"
#include "platform/Document.h"

TWPalettesController::TWPalettesController(QObject *parent)
    : QObject(parent), m_mapPalettes(std::make_unique<TWMapPalettes>()),
      m_branchPalettes(std::make_unique<TWBranchPalettes>()),
      m_generalPalettes(std::make_unique<TWGeneralPalettes>()),
      m_addPalettes(std::make_unique<TWAddPalettes>())
{
    addTable(m_mapPalettes->paletteDictionary(), m_mapPalettes->alternatePalettes());
    addTable(m_branchPalettes->paletteDictionary(), m_branchPalettes->alternatePalettes());
    addTable(m_generalPalettes->paletteDictionary(), m_generalPalettes->alternatePalettes());
    addTable(m_addPalettes->paletteDictionary(), {});
    m_stylePalettes = std::make_unique<TWStylePalettes>(this);
    m_closeObserver = NotificationCenter::defaultCenter().observe(
        Document::WillCloseNotification, nullptr, [this](const Notification &n) {
            if (m_document && n.sender.identity() == m_document.identity())
                documentWillClose();
        });
}

TWPalettesController::~TWPalettesController()
{
    // The bezels go before the groups that own the palette views inside them.
    for (Entry &entry : m_paletteDictionary) {
        for (TWPaletteBezel *bezel : {entry.bezel.data(), entry.alternateBezel.data()}) {
            if (!bezel)
                continue;
            if (TWPaletteBezelContainerView *container = bezel->bezelContainer())
                container->removeBezel(bezel);
            if (QWidget *palette = bezel->palette())
                palette->setParent(nullptr);
            delete bezel;
        }
    }
}

void TWPalettesController::addTable(const TWPaletteTable &table,
                                    const QHash<QString, QWidget *> &alternates)
{
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        Entry entry;
        entry.palette = it.value();
        entry.bezel = makeBezel(it.key(), it.value().palette, it.value());
        TWPaletteBezel *main = entry.bezel;
        if (main->isCollapsed())
            main->collapse();
        else
            main->expand();
        m_paletteDictionary.insert(it.key(), entry);
        m_order.append(it.key());
        if (QWidget *alternate = alternates.value(it.key()))
            setAlternatePalette(it.key(), alternate);
    }
}

bool TWPalettesController::setAlternatePalette(const QString &paletteID, QWidget *alternate)
{
    const auto it = m_paletteDictionary.find(paletteID);
    if (it == m_paletteDictionary.end() || !alternate || it->alternateBezel || !it->bezel)
        return false;
    TWPaletteBezel *main = it->bezel;
    TWPaletteBezel *second = makeBezel(paletteID, alternate, it->palette);
    const bool collapsed = main->isCollapsed();
    second->setMainBezel(main);
    main->setAlternateBezel(second);
    second->expand();
    // Both sides share one collapsed state.
    if (collapsed)
        main->collapse();
    it->alternateBezel = second;
    return true;
}

TWPaletteBezel *TWPalettesController::makeBezel(const QString &id, QWidget *palette,
                                                const TWPaletteEntry &entry)
{
    auto *bezel = new TWPaletteBezel(QRect(0, 0, 100, 100), id);
    bezel->setPalette(palette);
    bezel->resize(BezelWidth, int(bezel->minimumSize().height));
    bezel->setTitle(entry.title);
    bezel->setBackgroundColor(entry.backgroundColor);
    bezel->setBorderColor(entry.borderColor);
    bezel->hide();
    return bezel;
}

TWPaletteHost *TWPalettesController::document() const
{
    return m_document;
}

void TWPalettesController::setDocument(TWPaletteHost *document)
{
    if (m_document == document)
        return;
    m_document = document;
    m_mapPalettes->setDocument(document);
    m_branchPalettes->setDocument(document);
    m_generalPalettes->setDocument(document);
    m_stylePalettes->setDocument(document);
}

void TWPalettesController::documentWillClose()
{
    setDocument(nullptr);
}

const TWPalettesController::Entry *TWPalettesController::entry(const QString &paletteID) const
{
    const auto it = m_paletteDictionary.constFind(paletteID);
    return it == m_paletteDictionary.cend() ? nullptr : &it.value();
}

TWPaletteBezel *TWPalettesController::bezel(const QString &paletteID) const
{
    const Entry *e = entry(paletteID);
    return e ? e->bezel.data() : nullptr;
}

TWPaletteBezel *TWPalettesController::alternateBezel(const QString &paletteID) const
{
    const Entry *e = entry(paletteID);
    return e ? e->alternateBezel.data() : nullptr;
}

QWidget *TWPalettesController::paletteView(const QString &paletteID) const
{
    const Entry *e = entry(paletteID);
    return e ? e->palette.palette.data() : nullptr;
}

void TWPalettesController::paletteSizeChanged(const QString &paletteID)
{
    const Entry *e = entry(paletteID);
    if (!e)
        return;
    for (TWPaletteBezel *bezel : {e->bezel.data(), e->alternateBezel.data()}) {
        if (!bezel)
            continue;
        if (bezel->isCollapsed())
            continue;
        bezel->resize(bezel->width(), int(bezel->minimumSize().height));
        bezel->placePalette();
        if (TWPaletteBezelContainerView *container = bezel->bezelContainer())
            container->arrange();
    }
}
