#pragma once

#include "canvas/TWFindResult.h"
#include "platform/NotificationCenter.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTextEdit;
class TWCanvasHost;
class TWFindPanel;
class TWMap;
class TWMapBranch;
class TWSpellingPanel;

// The results as the find panel's table shows them: what holds the hit and
// its preview, made when a row is first shown.
class TWFindResultsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { DescriptionColumn = 0, PreviewColumn = 1 };
    // The preview as an AttributedString, for the delegate that draws it.
    static constexpr int PreviewRole = Qt::UserRole + 1;

    explicit TWFindResultsModel(const QList<TWFindResult> *results, QObject *parent = nullptr)
        : QAbstractTableModel(parent), m_results(results)
    {}
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }
    void rowChanged(int row);

private:
    const QList<TWFindResult> *m_results;
};

// Find, replace and spelling over whole maps: the find panel lists every
// hit in the labels, attached texts and notes of the maps in the chosen
// scope; a chosen result is shown in the canvas's editor or in the notes
// pane of the outline window, and replaced through them so that the change
// is an ordinary edit. Replace all edits the model directly. Spelling walks
// the current map's misspelled words one at a time.
class TWFindController : public QObject
{
    Q_OBJECT

public:
    explicit TWFindController(QObject *parent = nullptr);
    ~TWFindController() override;

    // The program's controller: the application object's while it has one,
    // else one made on first use and kept to the end.
    static TWFindController &shared();
    // Puts `controller` (not owned) in place of the program's; null restores it.
    static void setShared(TWFindController *controller);
    // The application object's own controller (not owned): it and its panels
    // go with that object, so a later application object makes its own.
    static void setApplicationController(TWFindController *controller);

    // Which document the user works in; installed by the application.
    using DocumentProvider = std::function<TWCanvasHost *()>;
    static void setActiveDocumentProvider(DocumentProvider provider);
    static TWCanvasHost *activeDocument();

    // --- the panel ---
    void showFindPanel();
    // Null until first shown.
    TWFindPanel *findPanel() const;
    // 1 shows the panel, 2 next, 3 previous, 4 replace all, 5 replace,
    // 6 replace and find; other tags do nothing.
    void performFindPanelAction(int tag);

    // A null string searches for nothing and leaves the list alone.
    QString findString() const { return m_findString; }
    void setFindString(const QString &string);
    QString replaceString() const { return m_replaceString; }
    void setReplaceString(const QString &string) { m_replaceString = string; }

    // --- results ---
    const QList<TWFindResult> &findResults() const { return m_results; }
    TWFindResultsModel *resultsModel() const { return m_model; }
    QItemSelectionModel *selectionModel() const { return m_selection; }
    // The selected row, or -1.
    int selectionIndex() const;
    // Selects the row (-1: none) and shows its result.
    void setSelectionIndex(int row);

    // 1: the active document's current map; 2: then its other maps; 3: then
    // the maps of the other open documents, front to back.
    QList<std::shared_ptr<TWMap>> mapsWithScope(int scope) const;
    // Every hit of the find string in the maps of the scope the user chose;
    // nothing without a find string.
    std::optional<QList<TWFindResult>> updatedFindResults() const;
    // The misspelled words of the current map; nothing without one.
    std::optional<QList<TWFindResult>> updatedSpellResults() const;
    // Collects the results again, keeping the selected row where it can.
    void updateResults();
    // Shows the selected result.
    void updateSelection();
    // Both wrap around the list.
    void next();
    void previous();
    // Replaces the selected result through the editor that shows it; false
    // (with a beep) when it could not, and then the result stays as it was.
    bool replace();
    void replaceAndFind();
    // Asks, then replaces every hit in the model; false when nothing changed.
    bool replaceAll();

    // --- showing a result ---
    // The result's map made current (and its window brought to the front),
    // its text selected in the view that shows it; null when it cannot be
    // shown. With makeKey the view also takes the keyboard focus.
    QTextEdit *selectAndDisplay(const TWFindResult &result, bool makeKey);
    QTextEdit *representedObjectTextView(const TWFindResult &result);
    void displayMap(TWMap *map);

    // --- spelling ---
    // The ignore list of the controller's spell document.
    int spellTag() const { return m_spellTag; }
    // Shows the next misspelled word of the current map, from the first
    // again after the last.
    void checkSpelling();
    // Brings the spelling panel to the front and checks.
    void showGuessPanel();
    // The word is no longer reported.
    void ignoreSpelling(const QString &word);
    // Puts `word` in place of the misspelled word shown, through its editor,
    // then goes on to the next; beeps when the text has changed under it.
    void changeSpelling(const QString &word);
    std::optional<TWFindResult> currentSpellingResult() const { return m_currentSpelling; }
    std::optional<TWFindResult> nextSpellingResult() const { return m_nextSpelling; }
    // The word the spelling panel shows ("" when none is left).
    QString misspelledWord() const { return m_misspelledWord; }
    // Null until first needed.
    TWSpellingPanel *spellingPanel() const;

signals:
    void findResultsChanged();
    void misspelledWordChanged(const QString &word);

private:
    Qt::CaseSensitivity caseSensitivity() const;
    void collect(TWMapBranch &branch, QList<TWFindResult> &into, bool spelling) const;
    void collectText(const std::shared_ptr<TWTextArea> &area, TWMapBranch &branch,
                     QList<TWFindResult> &into, bool spelling) const;
    void setResults(QList<TWFindResult> results);
    void selectRow(int row, bool show);
    bool matchesFindString(const QString &text, TWFindResult::Range range) const;
    // Shifts the other results in the same text after a replacement.
    void shiftResultsAfter(const TWFindResult &replaced, qsizetype delta);
    TWCanvasHost *hostOfMap(const TWMap *map) const;
    void commitEdit(const TWFindResult &result);
    void updateSpellingPanelWithMisspelledWord(const QString &word);
    void ensureSpellingPanel();

    QString m_findString;
    QString m_replaceString;
    mutable Qt::CaseSensitivity m_collectCase = Qt::CaseInsensitive;
    QList<TWFindResult> m_results;
    TWFindResultsModel *m_model;
    QItemSelectionModel *m_selection;
    bool m_showSelection = true;
    int m_spellTag = 0;
    std::optional<TWFindResult> m_currentSpelling;
    std::optional<TWFindResult> m_nextSpelling;
    QString m_misspelledWord;
    QPointer<QTextEdit> m_spellingView;
    QPointer<TWFindPanel> m_findPanel;
    QPointer<TWSpellingPanel> m_spellingPanel;
    QTimer m_refreshTimer;
    std::vector<ObserverToken> m_observers;
};
