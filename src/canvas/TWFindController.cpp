#include "canvas/TWFindController.h"

#include "canvas/SpellableTextView.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWFindPanel.h"
#include "canvas/TWFindSearch.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/SpellChecker.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QDebug>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

namespace {

using Range = TWFindResult::Range;

QPointer<TWFindController> g_installed;
QPointer<TWFindController> g_application;
TWFindController *g_program = nullptr;
TWFindController::DocumentProvider g_documentProvider;

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

// The text a view shows, counted as the model counts it.
QString viewText(QTextEdit *view)
{
    if (auto *editor = qobject_cast<SpellableTextView *>(view))
        return editor->attributedString().string();
    return view->toPlainText();
}

void selectInView(QTextEdit *view, Range range)
{
    if (auto *editor = qobject_cast<SpellableTextView *>(view)) {
        editor->setSelectedRange(range);
    } else {
        QTextCursor cursor(view->document());
        cursor.setPosition(int(range.location));
        cursor.setPosition(int(range.end()), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
    }
    view->ensureCursorVisible();
}

// Replaces the range as typing would, so that the view's owner takes the
// change the way it takes any edit.
void replaceInView(QTextEdit *view, Range range, const QString &with)
{
    selectInView(view, range);
    QTextCursor probe(view->document());
    probe.setPosition(int(range.location) + (range.length > 0 ? 1 : 0));
    const QTextCharFormat format = probe.charFormat();
    QTextCursor cursor = view->textCursor();
    cursor.beginEditBlock();
    cursor.insertText(with, format);
    cursor.endEditBlock();
    view->setTextCursor(cursor);
}

} // namespace

// --- the results table ---

int TWFindResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_results->size());
}

int TWFindResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TWFindResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_results->size())
        return {};
    const TWFindResult &result = m_results->at(index.row());
    if (index.column() == DescriptionColumn) {
        if (role == Qt::DisplayRole)
            return result.representedObjectDescription();
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return result.previewString().string();
    if (role == PreviewRole)
        return QVariant::fromValue(result.previewString());
    return {};
}

QVariant TWFindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == DescriptionColumn ? dadoZiz("Found In") : dadoZiz("Text");
}

void TWFindResultsModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, 1));
}

// --- the controller ---

TWFindController::TWFindController(QObject *parent)
    : QObject(parent), m_model(new TWFindResultsModel(&m_results, this)),
      m_selection(new QItemSelectionModel(m_model, this))
{
    m_spellTag = SpellChecker::shared().uniqueSpellDocumentTag();
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString &key) {
        if (key == QLatin1String(TWPreferences::FindIgnoreCaseKey) ||
            key == QLatin1String(TWPreferences::FindScopeKey))
            updateResults();
    });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    // Once the pass is over: the new current map is in place by then, and a
    // closing document has left the list.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TWFindController::updateResults);
    for (const QString &name :
         {TWMapsDoc::UpdateMapTabsNotification, QStringLiteral("TWDocumentWillClose")})
        m_observers.push_back(center.observe(
            name, nullptr, [this](const Notification &) { m_refreshTimer.start(); }));
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_showSelection)
            updateSelection();
    });
}

TWFindController::~TWFindController()
{
    SpellChecker::shared().closeSpellDocumentWithTag(m_spellTag);
    delete m_findPanel.data();
    delete m_spellingPanel.data();
}

TWFindController &TWFindController::shared()
{
    if (g_installed)
        return *g_installed;
    if (g_application)
        return *g_application;
    // Without an application object of the program: kept to the end of the
    // run, with its panels.
    if (!g_program)
        g_program = new TWFindController;
    return *g_program;
}

void TWFindController::setShared(TWFindController *controller)
{
    g_installed = controller;
}

void TWFindController::setApplicationController(TWFindController *controller)
{
    g_application = controller;
}

void TWFindController::setActiveDocumentProvider(DocumentProvider provider)
{
    g_documentProvider = std::move(provider);
}

TWCanvasHost *TWFindController::activeDocument()
{
    return g_documentProvider ? g_documentProvider() : nullptr;
}

// --- the panel ---

TWFindPanel *TWFindController::findPanel() const
{
    return m_findPanel;
}

TWSpellingPanel *TWFindController::spellingPanel() const
{
    return m_spellingPanel;
}

void TWFindController::showFindPanel()
{
    if (!m_findPanel)
        m_findPanel = new TWFindPanel(this);
    m_findPanel->show();
    m_findPanel->raise();
    m_findPanel->activateWindow();
}

void TWFindController::performFindPanelAction(int tag)
{
    switch (tag) {
    case 1:
        showFindPanel();
        break;
    case 2:
        next();
        break;
    case 3:
        previous();
        break;
    case 4:
        replaceAll();
        break;
    case 5:
        replace();
        break;
    case 6:
        replaceAndFind();
        break;
    default:
        break;
    }
}

void TWFindController::setFindString(const QString &string)
{
    m_findString = string;
    updateResults();
}

// --- collecting ---

Qt::CaseSensitivity TWFindController::caseSensitivity() const
{
    return UserDefaults::standard().boolForKey(QLatin1String(TWPreferences::FindIgnoreCaseKey))
               ? Qt::CaseInsensitive
               : Qt::CaseSensitive;
}

QList<std::shared_ptr<TWMap>> TWFindController::mapsWithScope(int scope) const
{
    QList<std::shared_ptr<TWMap>> maps;
    TWCanvasHost *active = activeDocument();
    TWMapsDoc *document = active ? active->mapsDocument() : nullptr;
    if (!document || !document->currentMap())
        return maps;
    const std::shared_ptr<TWMap> current = document->currentMap();
    maps.append(current);
    if (scope != 2 && scope != 3)
        return maps;
    for (const std::shared_ptr<TWMap> &map : document->maps())
        if (map != current)
            maps.append(map);
    if (scope != 3)
        return maps;
    for (TWCanvasHost *other : active->openDocuments()) {
        TWMapsDoc *otherDocument = other ? other->mapsDocument() : nullptr;
        if (!otherDocument || otherDocument == document)
            continue;
        for (const std::shared_ptr<TWMap> &map : otherDocument->maps())
            maps.append(map);
    }
    return maps;
}

void TWFindController::collectText(const std::shared_ptr<TWTextArea> &area, TWMapBranch &branch,
                                   QList<TWFindResult> &into, bool spelling) const
{
    const QString &text = area->text().string();
    const QList<Range> ranges =
        spelling ? TWFind::rangesOfMisspelledWords(text, SpellChecker::shared(), m_spellTag)
                 : TWFind::rangesOfString(text, m_findString, m_collectCase);
    for (const Range &range : ranges)
        into.append(TWFindResult::inTextArea(area, range, branch));
}

void TWFindController::collect(TWMapBranch &branch, QList<TWFindResult> &into, bool spelling) const
{
    // Iterative, so that a deep map cannot exhaust the stack.
    std::vector<TWMapBranch *> pending{&branch};
    while (!pending.empty()) {
        TWMapBranch *b = pending.back();
        pending.pop_back();
        if (const std::shared_ptr<TWTextArea> &label = b->enclosedTextArea())
            collectText(label, *b, into, spelling);
        for (const std::shared_ptr<TWGraphic> &graphic : b->linkedGraphics())
            if (auto area = std::dynamic_pointer_cast<TWTextArea>(graphic))
                collectText(area, *b, into, spelling);
        if (const std::shared_ptr<const AttributedString> notes = b->primaryAttachedText()) {
            const QList<Range> ranges =
                spelling ? TWFind::rangesOfMisspelledWords(notes->string(), SpellChecker::shared(),
                                                           m_spellTag)
                         : TWFind::rangesOfString(notes->string(), m_findString, m_collectCase);
            if (!ranges.isEmpty()) {
                const std::shared_ptr<TWMapBranch> self = b->shared_from_this();
                for (const Range &range : ranges)
                    into.append(TWFindResult::inNotes(self, range));
            }
        }
        const auto &children = b->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(it->get());
    }
}

std::optional<QList<TWFindResult>> TWFindController::updatedFindResults() const
{
    if (m_findString.isNull())
        return std::nullopt;
    QList<TWFindResult> results;
    // Read once: looking the preference up per text would cost more than
    // the search.
    m_collectCase = caseSensitivity();
    const int scope =
        int(UserDefaults::standard().integerForKey(QLatin1String(TWPreferences::FindScopeKey)));
    for (const std::shared_ptr<TWMap> &map : mapsWithScope(scope))
        if (map->root())
            collect(*map->root(), results, false);
    return results;
}

std::optional<QList<TWFindResult>> TWFindController::updatedSpellResults() const
{
    const QList<std::shared_ptr<TWMap>> maps = mapsWithScope(1);
    if (maps.isEmpty())
        return std::nullopt;
    QList<TWFindResult> results;
    if (maps.first()->root())
        collect(*maps.first()->root(), results, true);
    return results;
}

// --- the list and its selection ---

int TWFindController::selectionIndex() const
{
    const QModelIndexList rows = m_selection->selectedRows();
    int first = -1;
    for (const QModelIndex &index : rows)
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

void TWFindController::selectRow(int row, bool show)
{
    const bool wasShowing = m_showSelection;
    m_showSelection = show;
    if (row < 0 || row >= m_results.size())
        m_selection->clearSelection();
    else
        m_selection->select(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows |
                                                        QItemSelectionModel::Current);
    m_showSelection = wasShowing;
}

void TWFindController::setSelectionIndex(int row)
{
    const int before = selectionIndex();
    selectRow(row, true);
    // Choosing the row already chosen shows it again.
    if (before == row)
        updateSelection();
}

void TWFindController::setResults(QList<TWFindResult> results)
{
    const int selected = selectionIndex();
    m_model->beginReset();
    m_results = std::move(results);
    m_model->endReset();
    // Refreshing the list leaves the canvas where the user put it.
    if (!m_results.isEmpty())
        selectRow(selected >= 0 && selected < m_results.size() ? selected : 0, false);
    emit findResultsChanged();
}

void TWFindController::updateResults()
{
    std::optional<QList<TWFindResult>> results = updatedFindResults();
    if (!results)
        return;
    setResults(std::move(*results));
}

void TWFindController::updateSelection()
{
    const int row = selectionIndex();
    if (row >= 0)
        selectAndDisplay(m_results.at(row), false);
}

void TWFindController::next()
{
    if (m_results.isEmpty())
        return;
    const int row = selectionIndex();
    setSelectionIndex(row < 0 || row >= m_results.size() - 1 ? 0 : row + 1);
}

void TWFindController::previous()
{
    if (m_results.isEmpty())
        return;
    const int row = selectionIndex();
    setSelectionIndex(row <= 0 ? int(m_results.size()) - 1 : row - 1);
}

// --- showing ---

TWCanvasHost *TWFindController::hostOfMap(const TWMap *map) const
{
    TWCanvasHost *active = activeDocument();
    if (!map || !active)
        return nullptr;
    if (active->mapsDocument() == map->document())
        return active;
    for (TWCanvasHost *host : active->openDocuments())
        if (host && host->mapsDocument() == map->document())
            return host;
    return nullptr;
}

void TWFindController::displayMap(TWMap *map)
{
    TWCanvasHost *active = activeDocument();
    if (!map ||
        (active && active->mapsDocument() && active->mapsDocument()->currentMap().get() == map))
        return;
    TWCanvasHost *host = hostOfMap(map);
    if (!host)
        return;
    host->orderFront();
    if (TWMapsDoc *document = host->mapsDocument()) {
        const int index = document->indexOfMap(map);
        if (index >= 0 && document->currentMap().get() != map)
            document->setCurrentMapNumber(index);
    }
}

QTextEdit *TWFindController::representedObjectTextView(const TWFindResult &result)
{
    const std::shared_ptr<TWMapBranch> branch = result.branch();
    TWMap *map = branch ? branch->map() : nullptr;
    TWCanvasHost *host = hostOfMap(map);
    if (!host)
        return nullptr;
    map->removeAllSelectedGraphics();
    displayMap(map);
    if (result.kind() == TWFindResult::Kind::BranchNotes) {
        if (branch->mainGraphic())
            branch->mainGraphic()->tryToSelect();
        return host->showNotesOnly();
    }
    const std::shared_ptr<TWTextArea> area = result.textArea();
    if (!area)
        return nullptr;
    area->tryToSelect();
    area->setIsEditing(true);
    TWGraphicView *canvas = host->graphicView();
    if (canvas && canvas->editingTextArea() == area.get())
        return canvas->editorView();
    return nullptr;
}

QTextEdit *TWFindController::selectAndDisplay(const TWFindResult &result, bool makeKey)
{
    QTextEdit *view = representedObjectTextView(result);
    if (!view) {
        qWarning("Error in selecting required node for find");
        return nullptr;
    }
    const Range range = result.range();
    if (range.location < 0 || range.end() > viewText(view).size()) {
        qWarning("Text view does not contain range for find");
        return nullptr;
    }
    selectInView(view, range);
    if (makeKey) {
        view->window()->raise();
        view->window()->activateWindow();
        view->setFocus(Qt::OtherFocusReason);
    }
    return view;
}

// --- replacing ---

bool TWFindController::matchesFindString(const QString &text, Range range) const
{
    if (m_findString.isEmpty() || range.location < 0 || range.end() > text.size() ||
        range.length != m_findString.size())
        return false;
    return QStringView(text)
               .mid(range.location, range.length)
               .compare(m_findString, caseSensitivity()) == 0;
}

void TWFindController::shiftResultsAfter(const TWFindResult &replaced, qsizetype delta)
{
    for (int row = 0; row < m_results.size(); ++row) {
        TWFindResult &other = m_results[row];
        if (other.representedObject() != replaced.representedObject() || other.isReplaced() ||
            other.range().location <= replaced.range().location)
            continue;
        Range range = other.range();
        range.location += delta;
        other.setRange(range);
    }
}

bool TWFindController::replace()
{
    const int row = selectionIndex();
    if (row < 0)
        return false;
    const TWFindResult result = m_results.at(row);
    commitEdit(result);
    const std::optional<AttributedString> model = result.text();
    // A list made before later edits may point at other text now.
    if (result.isReplaced() || !model || !matchesFindString(model->string(), result.range())) {
        updateResults();
        Alerts::current().beep();
        return false;
    }
    QTextEdit *view = selectAndDisplay(result, false);
    if (!view || !matchesFindString(viewText(view), result.range())) {
        Alerts::current().beep();
        return false;
    }
    replaceInView(view, result.range(), m_replaceString);
    commitEdit(result);
    shiftResultsAfter(result, m_replaceString.size() - result.range().length);
    m_results[row].markReplaced();
    m_model->rowChanged(row);
    return true;
}

void TWFindController::commitEdit(const TWFindResult &result)
{
    // The canvas may hold a typed text back for a moment; the next search
    // must see it in the model.
    if (result.kind() == TWFindResult::Kind::BranchNotes)
        return;
    const std::shared_ptr<TWMapBranch> branch = result.branch();
    TWCanvasHost *host = hostOfMap(branch ? branch->map() : nullptr);
    if (TWGraphicView *canvas = host ? host->graphicView() : nullptr)
        canvas->commitPendingText();
}

void TWFindController::replaceAndFind()
{
    replace();
    next();
}

bool TWFindController::replaceAll()
{
    // A change of case alone is a correction too.
    if (m_findString.isEmpty() || m_findString == m_replaceString)
        return false;
    // An editor left open on a text changed under it would write its old
    // text back with the next keystroke, in whichever document it is.
    if (TWCanvasHost *active = activeDocument()) {
        QList<TWCanvasHost *> hosts = active->openDocuments();
        if (!hosts.contains(active))
            hosts.prepend(active);
        for (TWCanvasHost *host : hosts)
            if (TWGraphicView *canvas = host ? host->graphicView() : nullptr)
                canvas->endEditingTextArea();
    }
    std::optional<QList<TWFindResult>> results = updatedFindResults();
    if (!results || results->isEmpty())
        return false;

    QString message = dadoZiz("Do you really want to replace %i occurances of \"%@\" with \"%@\"?");
    message.replace(QLatin1String("%i"), QString::number(results->size()));
    for (const QString &part : {m_findString, m_replaceString}) {
        const qsizetype at = message.indexOf(QLatin1String("%@"));
        if (at >= 0)
            message.replace(at, 2, part);
    }
    const int answer = Alerts::current().runAlertPanel(
        dadoZiz("Replace"), message,
        {dadoZiz("Replace"), TWLocalizedString(StringTable::General, QStringLiteral("Cancel"))});
    if (answer != 0)
        return false;

    // The hits of one text are next to each other in the list: each text is
    // set once, its later hits moved by what the earlier ones changed.
    QList<UndoManager *> undoManagers;
    for (qsizetype i = 0; i < results->size();) {
        const TWFindResult &first = results->at(i);
        qsizetype end = i;
        while (end < results->size() &&
               results->at(end).representedObject() == first.representedObject())
            ++end;
        std::optional<AttributedString> text = first.text();
        if (text) {
            qsizetype delta = 0;
            for (qsizetype k = i; k < end; ++k) {
                const Range found = results->at(k).range();
                text->replaceCharactersInRange({found.location + delta, found.length},
                                               m_replaceString);
                delta += m_replaceString.size() - found.length;
            }
            first.setText(*text);
            const std::shared_ptr<TWMapBranch> branch = first.branch();
            // A label takes the size of its new text, as a typed one does.
            if (branch && first.kind() == TWFindResult::Kind::Label)
                branch->makeNaturalSizeHonoringTextWidth(true, true);
            TWMap *map = branch ? branch->map() : nullptr;
            TWMapsDoc *document = map ? map->document() : nullptr;
            if (document && document->undoManager() &&
                !undoManagers.contains(document->undoManager()))
                undoManagers.append(document->undoManager());
        }
        i = end;
    }
    for (UndoManager *undo : undoManagers)
        undo->setActionName(dadoZiz("Replace All"));
    updateResults();
    return true;
}

// --- spelling ---

void TWFindController::ensureSpellingPanel()
{
    if (!m_spellingPanel)
        m_spellingPanel = new TWSpellingPanel(this);
}

void TWFindController::updateSpellingPanelWithMisspelledWord(const QString &word)
{
    m_misspelledWord = word;
    if (m_spellingPanel)
        m_spellingPanel->setMisspelledWord(word);
    emit misspelledWordChanged(word);
}

void TWFindController::checkSpelling()
{
    const std::optional<QList<TWFindResult>> results = updatedSpellResults();
    if (!results || results->isEmpty()) {
        m_currentSpelling.reset();
        m_nextSpelling.reset();
        m_spellingView.clear();
        updateSpellingPanelWithMisspelledWord(QString(""));
        return;
    }
    qsizetype index = 0;
    if (m_nextSpelling) {
        const qsizetype found = results->indexOf(*m_nextSpelling);
        if (found >= 0)
            index = found;
    }
    m_currentSpelling = results->at(index);
    if (index + 1 < results->size())
        m_nextSpelling = results->at(index + 1);
    else if (index != 0)
        m_nextSpelling = results->first();
    else
        m_nextSpelling.reset();
    m_spellingView = selectAndDisplay(*m_currentSpelling, true);
    updateSpellingPanelWithMisspelledWord(m_currentSpelling->foundString());
}

void TWFindController::showGuessPanel()
{
    ensureSpellingPanel();
    m_spellingPanel->show();
    m_spellingPanel->raise();
    checkSpelling();
}

void TWFindController::ignoreSpelling(const QString &word)
{
    if (!word.isEmpty())
        SpellChecker::shared().ignoreWord(word, m_spellTag);
}

void TWFindController::changeSpelling(const QString &word)
{
    QTextEdit *view = m_spellingView;
    if (!m_currentSpelling || !view) {
        Alerts::current().beep();
        return;
    }
    const Range range = m_currentSpelling->range();
    const QString text = viewText(view);
    if (range.end() > text.size() || text.mid(range.location, range.length) != m_misspelledWord) {
        Alerts::current().beep();
        return;
    }
    replaceInView(view, range, word);
    commitEdit(*m_currentSpelling);
    // The next word of the same text moved with the change.
    if (m_nextSpelling &&
        m_nextSpelling->representedObject() == m_currentSpelling->representedObject() &&
        m_nextSpelling->range().location > range.location) {
        Range moved = m_nextSpelling->range();
        moved.location += word.size() - range.length;
        m_nextSpelling->setRange(moved);
    }
    checkSpelling();
}
