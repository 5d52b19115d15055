#pragma once

#include "application/ApplicationServices.h"
#include "support/Font.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class FontPanel;
class QAction;
class QActionGroup;
class QMainWindow;
class QToolBar;
class QWidget;

// The preferences window: General and Font panes chosen from its toolbar,
// Appearance and ScreenWriter panes shown by their actions. It edits the
// default fonts through the shared font panel and the update-check settings
// of the feed updater, and starts an update check on demand.
class TWPreferencesInterface : public QObject, public PreferencesWindow
{
    Q_OBJECT
    Q_PROPERTY(int updateCheckMode READ updateCheckMode WRITE setUpdateCheckMode NOTIFY
                   updateSettingsChanged)
    Q_PROPERTY(int updateCheckInterval READ updateCheckInterval WRITE setUpdateCheckInterval NOTIFY
                   updateSettingsChanged)

public:
    static inline const QString ToolbarIdentifier = QStringLiteral("TWPreferencesToolbar");
    static inline const QString GeneralItem = QStringLiteral("TWPreferencesGeneralToolbarItem");
    static inline const QString FontItem = QStringLiteral("TWPreferencesFontToolbarItem");
    static inline const QString AppearanceItem =
        QStringLiteral("TWPreferencesApperanceToolbarItem");
    static inline const QString ScreenWriterItem =
        QStringLiteral("TWPreferencesScreenWriterToolbarItem");
    // The feed updater's keys.
    static inline const QString CheckAtStartupKey = QStringLiteral("SUCheckAtStartup");
    static inline const QString ScheduledCheckIntervalKey =
        QStringLiteral("SUScheduledCheckInterval");
    static constexpr long long SecondsPerDay = 86400;
    // Which default font the font panel edits (the tags of the Font pane's buttons).
    enum FontSelection {
        NoFont = 0,
        CenterFont,
        FirstLevelFont,
        BranchFont,
        AttachedGraphicFont,
        BranchNotesFont,
        OutlineNumberFont,
    };

    static TWPreferencesInterface &sharedPreferencesInterface();

    TWPreferencesInterface();
    ~TWPreferencesInterface() override;

    void showPreferencesWindow() override;

    QMainWindow *preferencesWindow() const { return m_window.get(); }
    QWidget *generalView() const { return m_generalView; }
    QWidget *fontView() const { return m_fontView; }
    QWidget *appearanceView() const { return m_appearanceView; }
    QWidget *screenWriterView() const { return m_screenWriterView; }
    QToolBar *toolbar() const { return m_toolbar; }

    // --- toolbar ---
    // General then Font: what the toolbar offers, shows and lets select.
    static QStringList allToolbarIdentifiers();
    // A new item for one of the four identifiers, null for any other.
    QAction *itemForItemIdentifier(const QString &identifier);
    QString selectedItemIdentifier() const;

    // --- panes ---
    void showGeneralPreferences();
    void showFontPreferences();
    void showApperancePreferences();
    void showScreenWriterPreferences();
    // Makes `pane` the window's content; the window's top-left corner stays.
    void showView(QWidget *pane);
    QWidget *currentView() const;

    // --- update checks ---
    // 1 checks every so many days, 0 at start-up.
    int updateCheckMode() const;
    void setUpdateCheckMode(int mode);
    // Days between checks, whole days.
    int updateCheckInterval() const;
    void setUpdateCheckInterval(int days);
    void checkForUpdateNow();
    // Who checks now; the application's update controller unless set.
    void setUpdateController(UpdateController *controller) { m_updateController = controller; }

    // --- default fonts ---
    // "Name 12": the font's name and whole points.
    static QString fontString(const Font &font);
    QString centerFontString() const;
    QString firstLevelFontString() const;
    QString nodeFontString() const;
    QString attachedGraphicFontString() const;
    QString branchNotesFontString() const;
    QString outlineNumberFontString() const;
    // The Font pane's buttons: tag 1 to 6 picks the font the panel edits.
    void setFont(int tag);
    int currentFontSelection() const { return m_currentFontSelection; }
    // The font panel's change: the selected default font becomes its choice.
    void changeFont(FontPanel &panel);

    // Commits what is being typed in the window.
    void endEditing();
    void closingWindow();

signals:
    void updateSettingsChanged();
    void fontStringsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void awakeFromNib();
    void buildGeneralView();
    void buildFontView();
    void buildAppearanceView();
    void buildScreenWriterView();
    void selectItem(const QString &identifier);

    std::unique_ptr<QMainWindow> m_window;
    QPointer<QWidget> m_generalView;
    QPointer<QWidget> m_fontView;
    QPointer<QWidget> m_screenWriterView;
    QPointer<QWidget> m_appearanceView;
    QToolBar *m_toolbar = nullptr;
    QActionGroup *m_toolbarGroup = nullptr;
    int m_currentFontSelection = NoFont;
    UpdateController *m_updateController = nullptr;
};
