#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include <QListWidget>
#include <QPushButton>
class QWidget;
class TWMapBranch;
class TWMapsDoc;

// The branch-suggestion palette: words related to the selected branch's
// text, refreshed a moment after the text changes, added as its children
// (with their definitions as notes when the user wants them).
class TWBranchSuggestionPaletteController : public QObject
{
    Q_OBJECT

public:
    static inline const QString CollapsedKey =
        QStringLiteral("TWPaletteBranchSuggestionsCollapsed");
    static inline const QString AddDefinitionsKey = QStringLiteral("TWSuggestionAddDefinitions");
    static constexpr int refreshDelayMilliseconds = 1500;

    using DocumentSource = std::function<TWMapsDoc *()>;

    // Fills `palette` with the list and its add button; follows the document
    // the source gives once awakeFromNib() has run.
    TWBranchSuggestionPaletteController(QWidget *palette, DocumentSource document,
                                        QObject *parent = nullptr);
    ~TWBranchSuggestionPaletteController() override;

    // Starts following the selected branch's text, only when the plug-in is
    // installed.
    void awakeFromNib();
    // Called whenever the selected branch or its text may have changed: another
    // branch or a change of its plain text schedules a refresh (replacing one
    // still pending).
    void textMayHaveChanged();
    void updateSuggestions();
    // The add gesture: the button, or a double click in the list.
    void addBranches(bool fromList, int clickCount = 0);
    void addBranchWithSuggestion(const QString &word, TWMapBranch &branch);

    static std::optional<QStringList> suggestionsForBranch(const TWMapBranch &branch);
    // The distinct words of the branch's text.
    static QStringList wordsOnBranch(const TWMapBranch &branch);
    // The distinct words of the texts of the branch's parent (the branch
    // itself for the root) and all below it, in tree order: what the
    // plug-in is told to leave out.
    static QStringList contextWords(const TWMapBranch &branch);
    // The notes made from the plug-in's definitions of a word.
    static QString notesForDefinitions(const QVariantList &definitions);

    QStringList suggestions() const { return m_suggestions; }
    bool canAddBranches() const { return m_canAddBranches; }
    QListWidget *tableView() const { return m_table; }
    QPushButton *addButton() const { return m_addButton; }
    // A refresh waits for its delay, or a large map's words are being gathered.
    bool refreshPending() const { return m_refresh.isActive() || m_gathering > 0; }
    // Subtrees of at least this many texts have their words gathered on
    // another thread, the window answering meanwhile.
    static constexpr std::size_t TextsGatheredApart = 2000;
    // Words are being gathered for some palette's refresh.
    static bool gatheringAnywhere() { return s_gathering > 0; }
    // Tests shorten the wait.
    void setRefreshDelay(int milliseconds) { m_refresh.setInterval(milliseconds); }
    int refreshDelay() const { return m_refresh.interval(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TWMapBranch *selectedBranch() const;
    std::optional<QString> selectedText() const;
    void showSuggestions(const QStringList &suggestions);

    DocumentSource m_document;
    QPointer<QListWidget> m_table;
    QPointer<QPushButton> m_addButton;
    QStringList m_suggestions;
    bool m_canAddBranches = false;
    std::optional<QString> m_lastText;
    std::weak_ptr<TWMapBranch> m_lastBranch;
    // A refresh came while the list was hidden: it is done when it shows.
    bool m_stale = false;
    QTimer m_refresh;
    // Counts refreshes: words gathered for an older one are not shown.
    quint64 m_refreshes = 0;
    int m_gathering = 0;
    static inline int s_gathering = 0; // the main thread's
    std::vector<ObserverToken> m_observations;
    QMetaObject::Connection m_defaultsConnection;
};
