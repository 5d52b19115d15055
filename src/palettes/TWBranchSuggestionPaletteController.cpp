#include "palettes/TWBranchSuggestionPaletteController.h"

#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "model/TWRecordSupport.h"
#include "palettes/TWSuggestionsController.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "support/AttributedString.h"
#include "support/TWExtensions.h"
#include "support/TWPreferences.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QHashSeed>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <vector>

namespace {

QString plainText(const TWMapBranch &branch)
{
    const auto &text = branch.enclosedTextArea();
    return text ? text->text().string() : QString();
}

// The texts of a subtree in pre-order.
std::vector<QString> subtreeTexts(const TWMapBranch &top)
{
    std::vector<QString> texts;
    std::vector<const TWMapBranch *> stack{&top};
    while (!stack.empty()) {
        const TWMapBranch *branch = stack.back();
        stack.pop_back();
        texts.push_back(plainText(*branch));
        const TWMapBranch::BranchList &children = branch->children();
        for (auto child = children.crbegin(); child != children.crend(); ++child)
            stack.push_back(child->get());
    }
    return texts;
}

// The distinct words of texts in the order first met. A whole map has
// hundreds of thousands of words, most of them repeats: each is looked up
// in an open-addressed table keeping its hash, by a hash far cheaper than
// qHash on short strings, seeded per process as qHash is.
class DistinctWords
{
public:
    void add(QStringView word)
    {
        if ((m_words.size() + 1) * 2 > m_slots.size())
            grow();
        const quint64 hash = hashOf(word);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const quint32 slot = m_slots[i];
            if (slot == 0) {
                m_words.push_back({word, hash});
                m_slots[i] = quint32(m_words.size());
                return;
            }
            const Entry &entry = m_words[slot - 1];
            if (entry.hash == hash && entry.word == word)
                return;
        }
    }
    QStringList list() const
    {
        QStringList words;
        words.reserve(qsizetype(m_words.size()));
        for (const Entry &entry : m_words)
            words.append(entry.word.toString());
        return words;
    }

private:
    struct Entry
    {
        QStringView word;
        quint64 hash;
    };
    static quint64 hashOf(QStringView word)
    {
        // FNV-1a over the UTF-16 units, then mixed so the low bits count.
        static const quint64 basis = 0xcbf29ce484222325ull ^ quint64(QHashSeed::globalSeed());
        quint64 h = basis;
        for (const QChar c : word)
            h = (h ^ c.unicode()) * 0x100000001b3ull;
        h ^= h >> 32;
        h *= 0x9e3779b97f4a7c15ull;
        return h ^ (h >> 29);
    }
    void grow()
    {
        std::vector<quint32> table(std::max<std::size_t>(64, m_slots.size() * 2), 0);
        const std::size_t mask = table.size() - 1;
        for (std::size_t n = 0; n < m_words.size(); ++n) {
            std::size_t i = m_words[n].hash & mask;
            while (table[i] != 0)
                i = (i + 1) & mask;
            table[i] = quint32(n + 1);
        }
        m_slots = std::move(table);
    }

    std::vector<Entry> m_words;
    std::vector<quint32> m_slots;
};

// The distinct words of the texts, each where it first comes: those of the
// texts joined by spaces, found a text at a time (a word never runs over
// the space between two).
QStringList distinctWordsOfTexts(const std::vector<QString> &texts)
{
    DistinctWords words;
    for (const QString &text : texts)
        Tokenizing::forEachWord(text, [&](QStringView word) { words.add(word); });
    return words.list();
}

// The branch whose subtree's words are left out of the suggestions.
const TWMapBranch &contextOf(const TWMapBranch &branch)
{
    return branch.isRoot() || !branch.parent() ? branch : *branch.parent();
}

} // namespace

TWBranchSuggestionPaletteController::TWBranchSuggestionPaletteController(QWidget *palette,
                                                                         DocumentSource document,
                                                                         QObject *parent)
    : QObject(parent), m_document(std::move(document))
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(refreshDelayMilliseconds);
    connect(&m_refresh, &QTimer::timeout, this,
            &TWBranchSuggestionPaletteController::updateSuggestions);
    if (!palette)
        return;
    auto *layout = new QVBoxLayout(palette);
    layout->setContentsMargins(4, 4, 4, 4);
    m_table = new QListWidget(palette);
    m_table->setObjectName(QStringLiteral("suggestionsTableView"));
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setMinimumHeight(90);
    m_table->installEventFilter(this);
    layout->addWidget(m_table);
    m_addButton =
        new QPushButton(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Add")), palette);
    m_addButton->setEnabled(false);
    layout->addWidget(m_addButton, 0, Qt::AlignRight);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addBranches(false); });
    connect(m_table, &QListWidget::itemDoubleClicked, this, [this] { addBranches(true, 2); });
}

TWBranchSuggestionPaletteController::~TWBranchSuggestionPaletteController()
{
    // Gatherings under way end unseen.
    s_gathering -= m_gathering;
    disconnect(m_defaultsConnection);
}

void TWBranchSuggestionPaletteController::awakeFromNib()
{
    if (!TWSuggestionsController::suggestionPluginInstalled() || !m_observations.empty())
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const auto changed = [this](const Notification &) { textMayHaveChanged(); };
    // Texts announce their changes under this key; other records' changes
    // are none of the palette's business.
    m_observations.push_back(center.observe(
        TWRecord::ValueDidChangeNotification, nullptr, [this](const Notification &n) {
            if (n.userInfo.value(TWRecord::KeyKey).toString() == TWTextArea::OutlineStringKey)
                textMayHaveChanged();
        }));
    m_observations.push_back(
        center.observe(TWMap::SelectedGraphicsChangedNotification, nullptr, changed));
    m_lastText = selectedText();
    if (TWMapBranch *branch = selectedBranch())
        m_lastBranch = branch->weak_from_this();
    m_defaultsConnection = connect(&UserDefaults::standard(), &UserDefaults::changed, this,
                                   [this](const QString &key) {
                                       if (key == CollapsedKey)
                                           updateSuggestions();
                                   });
}

TWMapBranch *TWBranchSuggestionPaletteController::selectedBranch() const
{
    TWMapsDoc *document = m_document ? m_document() : nullptr;
    TWMap *map = document ? document->currentMap().get() : nullptr;
    return map ? map->selectedBranch().get() : nullptr;
}

std::optional<QString> TWBranchSuggestionPaletteController::selectedText() const
{
    const TWMapBranch *branch = selectedBranch();
    if (!branch || !branch->enclosedTextArea())
        return std::nullopt;
    return plainText(*branch);
}

void TWBranchSuggestionPaletteController::textMayHaveChanged()
{
    const std::optional<QString> text = selectedText();
    TWMapBranch *branch = selectedBranch();
    // Another branch with the same words has other words around it.
    const bool sameBranch = m_lastBranch.lock().get() == branch;
    if (text == m_lastText && sameBranch)
        return;
    m_lastText = text;
    m_lastBranch = branch ? branch->weak_from_this() : std::weak_ptr<TWMapBranch>();
    // A new change replaces the refresh still waiting.
    m_refresh.start();
}

void TWBranchSuggestionPaletteController::updateSuggestions()
{
    const quint64 refresh = ++m_refreshes;
    if (UserDefaults::standard().boolForKey(CollapsedKey) || !m_table)
        return;
    if (!m_table->isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    const TWMapBranch *branch = selectedBranch();
    if (!branch) {
        showSuggestions({});
        return;
    }
    const QStringList words = wordsOnBranch(*branch);
    // The plug-in is not asked: the context's words would go unused (a new,
    // empty branch of a large map).
    if (TWSuggestionsController::asciiOnly(words).isEmpty()) {
        showSuggestions({});
        return;
    }
    std::vector<QString> texts = subtreeTexts(contextOf(*branch));
    if (texts.size() < TextsGatheredApart) {
        showSuggestions(
            TWSuggestionsController::suggestionsForWords(words, distinctWordsOfTexts(texts))
                .value_or(QStringList()));
        return;
    }
    // The texts were taken here; their words are gathered on another thread.
    auto *watcher = new QFutureWatcher<QStringList>(this);
    ++m_gathering;
    ++s_gathering;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, refresh, words] {
        watcher->deleteLater();
        --m_gathering;
        --s_gathering;
        if (refresh != m_refreshes || !m_table || !m_table->isVisible())
            return;
        showSuggestions(TWSuggestionsController::suggestionsForWords(words, watcher->result())
                            .value_or(QStringList()));
    });
    watcher->setFuture(
        QtConcurrent::run([texts = std::move(texts)] { return distinctWordsOfTexts(texts); }));
}

void TWBranchSuggestionPaletteController::showSuggestions(const QStringList &suggestions)
{
    m_suggestions = suggestions;
    m_table->clear();
    m_table->addItems(m_suggestions);
    m_canAddBranches = !m_suggestions.isEmpty();
    if (m_addButton)
        m_addButton->setEnabled(m_canAddBranches);
}

bool TWBranchSuggestionPaletteController::eventFilter(QObject *watched, QEvent *event)
{
    // A palette expanded or brought back shows the words of the branch
    // selected now, not of the one selected when it was put away.
    // The type first: a list being destroyed still passes events here.
    if (event->type() == QEvent::Show && m_stale && watched == m_table.data())
        QTimer::singleShot(0, this, &TWBranchSuggestionPaletteController::updateSuggestions);
    return QObject::eventFilter(watched, event);
}

void TWBranchSuggestionPaletteController::addBranches(bool fromList, int clickCount)
{
    if (fromList && clickCount != 2)
        return;
    TWMapBranch *branch = selectedBranch();
    if (!branch || !m_table)
        return;
    QList<QListWidgetItem *> selected = m_table->selectedItems();
    if (selected.isEmpty())
        return;
    QStringList words;
    for (const QListWidgetItem *item : selected)
        words.append(item->text());
    // Keep the branch alive while its children are added.
    const std::shared_ptr<TWMapBranch> keep = branch->weak_from_this().lock();
    for (const QString &word : words)
        addBranchWithSuggestion(word, *branch);
}

void TWBranchSuggestionPaletteController::addBranchWithSuggestion(const QString &word,
                                                                  TWMapBranch &branch)
{
    TWMap *map = branch.map();
    if (!map)
        return;
    map->removeAllSelectedGraphics();
    if (branch.mainGraphic())
        branch.mainGraphic()->tryToSelect();
    const TWMap::BranchList made = map->publicCreateChildrenOfType(-1, word);
    if (made.isEmpty() || !UserDefaults::standard().boolForKey(AddDefinitionsKey))
        return;
    const QString notes = notesForDefinitions(
        TWSuggestionsController::definitionsForWord(word).value_or(QVariantList()));
    if (notes.isEmpty())
        return;
    TextAttributes attributes;
    attributes.insert(NSFontAttributeName, QVariant::fromValue(TWPreferences::branchNotesFont()));
    made.first()->setPrimaryAttachedText(
        std::make_shared<const AttributedString>(notes, attributes));
}

QString TWBranchSuggestionPaletteController::notesForDefinitions(const QVariantList &definitions)
{
    QString text;
    for (const QVariant &value : definitions) {
        const QVariantMap definition = value.toMap();
        text += QStringLiteral("As in %1\n %2")
                    .arg(definition.value(QStringLiteral("avatar")).toString(),
                         definition.value(QStringLiteral("definition")).toString());
        const QStringList frames = definition.value(QStringLiteral("verbFrames")).toStringList();
        if (!frames.isEmpty()) {
            text += QStringLiteral("\nUsage:\n");
            for (const QString &frame : frames)
                text += frame + QLatin1Char('\n');
        }
        text += QStringLiteral("\n\n");
    }
    return text;
}

QStringList TWBranchSuggestionPaletteController::wordsOnBranch(const TWMapBranch &branch)
{
    return distinctWordsOfTexts({plainText(branch)});
}

QStringList TWBranchSuggestionPaletteController::contextWords(const TWMapBranch &branch)
{
    return distinctWordsOfTexts(subtreeTexts(contextOf(branch)));
}

std::optional<QStringList>
TWBranchSuggestionPaletteController::suggestionsForBranch(const TWMapBranch &branch)
{
    const QStringList words = wordsOnBranch(branch);
    if (TWSuggestionsController::asciiOnly(words).isEmpty())
        return std::nullopt;
    return TWSuggestionsController::suggestionsForWords(words, contextWords(branch));
}
