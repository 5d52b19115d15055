#include "interface/FontPanel.h"

#include "support/AttributedString.h"
#include "support/AttributedStringDocument.h"
#include "support/FontRegistry.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QTextCharFormat>

namespace {
// The installed face a Qt font stands for, as the text system names it.
Font fontForQFont(const QFont &qfont)
{
    QTextCharFormat format;
    format.setFont(qfont);
    const QVariant font = AttributedStringDocument::attributes(format).value(NSFontAttributeName);
    if (font.canConvert<Font>() && !font.value<Font>().isNull())
        return font.value<Font>();
    return Font(qfont.family(), qfont.pointSizeF() > 0 ? qfont.pointSizeF() : 12.0);
}
} // namespace

// --- FontPanel ---

FontPanel::FontPanel(QObject *parent) : QObject(parent) {}

FontPanel::~FontPanel()
{
    delete m_dialog;
}

FontPanel &FontPanel::shared()
{
    // Lives as long as the application object, like the platform's panel.
    static QPointer<FontPanel> panel;
    if (!panel) {
        panel = new FontPanel(qApp);
        // Its dialog must go while the application still runs.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, panel, &QObject::deleteLater);
    }
    return *panel;
}

const FontPanel::Entry *FontPanel::entryFor(const QWidget *window) const
{
    if (!window)
        return nullptr;
    for (const Entry &entry : m_targets)
        if (entry.window == window)
            return &entry;
    return nullptr;
}

void FontPanel::setTarget(QWidget *window, Target target)
{
    if (!window)
        return;
    std::erase_if(m_targets, [window](const Entry &e) { return !e.window || e.window == window; });
    if (target)
        m_targets.push_back({window, std::move(target)});
}

QWidget *FontPanel::currentWindow() const
{
    // A window the user brought forward since takes the panel's choices.
    QWidget *active = QApplication::activeWindow();
    if (active && active != m_dialog && entryFor(active))
        return active;
    return m_window;
}

void FontPanel::setSelectedFont(const Font &font, bool multiple)
{
    m_selectedFont = font.isNull() ? std::nullopt : std::optional<Font>(font);
    m_chosenFont.reset();
    m_multiple = multiple;
    if (m_dialog && m_selectedFont) {
        const QSignalBlocker quiet(m_dialog);
        m_dialog->setCurrentFont(FontRegistry::shared().qfont(*m_selectedFont));
    }
}

Font FontPanel::convertFont(const Font &font) const
{
    return m_chosenFont ? *m_chosenFont : font;
}

QFontDialog *FontPanel::dialog()
{
    if (!m_dialog) {
        m_dialog = new QFontDialog;
        m_dialog->setObjectName(QStringLiteral("fontPanel"));
        m_dialog->setOption(QFontDialog::NoButtons);
        m_dialog->setWindowTitle(tr("Fonts"));
        if (m_selectedFont)
            m_dialog->setCurrentFont(FontRegistry::shared().qfont(*m_selectedFont));
        connect(m_dialog, &QFontDialog::currentFontChanged, this,
                [this](const QFont &font) { chooseFont(fontForQFont(font)); });
    }
    return m_dialog;
}

void FontPanel::orderFront(QWidget *window)
{
    if (window)
        m_window = window;
    QFontDialog *panel = dialog();
    panel->show();
    panel->raise();
}

void FontPanel::chooseFont(const Font &font)
{
    if (font.isNull())
        return;
    m_chosenFont = font;
    const Entry *entry = entryFor(currentWindow());
    if (!entry)
        return;
    // The target may replace itself while it runs.
    const Target target = entry->target;
    target(*this);
}

// --- ColorPanel ---

ColorPanel::ColorPanel(QObject *parent) : QObject(parent) {}

ColorPanel::~ColorPanel()
{
    delete m_dialog;
}

ColorPanel &ColorPanel::shared()
{
    static QPointer<ColorPanel> panel;
    if (!panel) {
        panel = new ColorPanel(qApp);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, panel, &QObject::deleteLater);
    }
    return *panel;
}

QColorDialog *ColorPanel::dialog()
{
    if (!m_dialog) {
        m_dialog = new QColorDialog;
        m_dialog->setObjectName(QStringLiteral("colorPanel"));
        // Colours carry opacity everywhere in this program.
        m_dialog->setOptions(QColorDialog::NoButtons | QColorDialog::ShowAlphaChannel);
        m_dialog->setWindowTitle(tr("Colors"));
        connect(m_dialog, &QColorDialog::currentColorChanged, this,
                [this](const QColor &color) { chooseColor(Color::fromQColor(color)); });
    }
    return m_dialog;
}

void ColorPanel::orderFront(QWidget *window, Target target)
{
    m_window = window;
    m_target = std::move(target);
    QColorDialog *panel = dialog();
    panel->show();
    panel->raise();
}

void ColorPanel::chooseColor(const Color &color)
{
    if (m_window && m_target)
        m_target(color);
}
