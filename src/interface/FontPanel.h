#pragma once

#include "support/Color.h"
#include "support/Font.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QColorDialog;
class QFontDialog;

// The shared font panel: one non-modal font dialog for the whole program.
// Its choices go to the current target, the window the panel was last opened
// for (or the active window, when that one has a target). A target converts
// its own font with convertFont(), as a font manager's client would.
class FontPanel : public QObject
{
    Q_OBJECT

public:
    using Target = std::function<void(FontPanel &panel)>;

    // Made on first use, with the application object as its parent.
    static FontPanel &shared();
    ~FontPanel() override;

    // What `window` does when the user picks a font while it is the target;
    // dropped with the window.
    void setTarget(QWidget *window, Target target);
    // The window whose target hears the next change, or null.
    QWidget *currentWindow() const;

    // The font the panel shows; `multiple` when the selection holds several.
    void setSelectedFont(const Font &font, bool multiple = false);
    const std::optional<Font> &selectedFont() const { return m_selectedFont; }
    bool isMultiple() const { return m_multiple; }
    // What a target's font becomes: the panel's choice (the font itself
    // while nothing was chosen).
    Font convertFont(const Font &font) const;

    // Shows the panel for `window`, which becomes the current target.
    void orderFront(QWidget *window);
    // The panel's choice, as the dialog reports it: kept and sent on.
    void chooseFont(const Font &font);
    QFontDialog *dialog();

private:
    explicit FontPanel(QObject *parent = nullptr);
    struct Entry
    {
        QPointer<QWidget> window;
        Target target;
    };
    const Entry *entryFor(const QWidget *window) const;

    std::vector<Entry> m_targets;
    QPointer<QWidget> m_window;
    std::optional<Font> m_selectedFont;
    std::optional<Font> m_chosenFont;
    bool m_multiple = false;
    QPointer<QFontDialog> m_dialog;
};

// The shared colour panel: one non-modal colour dialog that shows opacity;
// its choices go to the window it was last opened for.
class ColorPanel : public QObject
{
    Q_OBJECT

public:
    using Target = std::function<void(const Color &color)>;

    static ColorPanel &shared();
    ~ColorPanel() override;

    void orderFront(QWidget *window, Target target);
    QWidget *currentWindow() const { return m_window; }
    void chooseColor(const Color &color);
    QColorDialog *dialog();

private:
    explicit ColorPanel(QObject *parent = nullptr);

    QPointer<QWidget> m_window;
    Target m_target;
    QPointer<QColorDialog> m_dialog;
};
