#include "CanvasTestSupport.h"

#include "canvas/SpellableTextView.h"
#include "canvas/TWFindController.h"
#include "canvas/TWFindPanel.h"
#include "canvas/TWFindSearch.h"
#include "platform/SpellChecker.h"
#include "platform/TWLocalizedString.h"
#include "support/Font.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

using namespace CanvasTest;

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// A document window that also shows notes the way the outline window does:
// the selected branch's notes, written back as they are edited.
class FindHost : public FakeHost
{
public:
    explicit FindHost(std::shared_ptr<TWMapsDoc> document) : FakeHost(std::move(document))
    {
        QObject::connect(&notes, &QTextEdit::textChanged, [this] {
            if (!loading && notesBranch)
                notesBranch->setPrimaryAttachedText(
                    std::make_shared<const AttributedString>(notes.toPlainText()));
        });
    }
    TWGraphicView *graphicView() const override { return canvas; }
    QList<TWCanvasHost *> openDocuments() const override { return documents; }
    void orderFront() override { ++frontOrders; }
    QTextEdit *showNotesOnly() override
    {
        if (!notesAvailable)
            return nullptr;
        ++notesShown;
        TWMap *m = document->currentMap().get();
        notesBranch = m && m->countOfSelectedGraphics() > 0
                          ? m->selectedGraphics().first()->branch()
                          : nullptr;
        const auto text = notesBranch ? notesBranch->primaryAttachedText() : nullptr;
        loading = true;
        notes.setPlainText(text ? text->string() : QString());
        loading = false;
        return &notes;
    }

    TWGraphicView *canvas = nullptr;
    QList<TWCanvasHost *> documents;
    int frontOrders = 0;
    int notesShown = 0;
    TWMapBranch *notesBranch = nullptr;
    bool loading = false;
    bool notesAvailable = true;
    QTextEdit notes;
};

QString describe(const TWFindResult &r)
{
    const auto branch = r.branch();
    return QStringLiteral("%1 %2 %3")
        .arg(r.representedObjectDescription(), branch ? BranchTest::nameOf(*branch) : "?")
        .arg(r.range().location);
}

QStringList describe(const QList<TWFindResult> &results)
{
    QStringList lines;
    for (const TWFindResult &r : results)
        lines << describe(r);
    return lines;
}

using Ranges = QList<std::pair<qsizetype, qsizetype>>;

Ranges pairs(const QList<TWFind::Range> &ranges)
{
    Ranges out;
    for (const auto &r : ranges)
        out.append({r.location, r.length});
    return out;
}

} // namespace

// --- searching a text ---

TEST(FindSearch, OccurrencesDoNotOverlapAndFollowCase)
{
    const struct
    {
        QString text, find;
        Qt::CaseSensitivity cs;
        Ranges expected;
    } cases[] = {
        {"aaaa", "aa", Qt::CaseInsensitive, {{0, 2}, {2, 2}}},
        {"aaa", "aa", Qt::CaseInsensitive, {{0, 2}}},
        {"Map map MAP", "map", Qt::CaseInsensitive, {{0, 3}, {4, 3}, {8, 3}}},
        {"Map map MAP", "map", Qt::CaseSensitive, {{4, 3}}},
        {"banana", "a", Qt::CaseSensitive, {{1, 1}, {3, 1}, {5, 1}}},
        {"", "a", Qt::CaseInsensitive, {}},
        {"abc", "", Qt::CaseInsensitive, {}},
        {"abc", "abcd", Qt::CaseInsensitive, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pairs(TWFind::rangesOfString(c.text, c.find, c.cs)), c.expected)
            << c.text.toStdString() << " / " << c.find.toStdString();
}

TEST(FindSearch, PreviewShowsAboutThirtyCharactersAroundTheHit)
{
    const QString alphabet = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const QString thirty = alphabet.mid(10, 30);
    const struct
    {
        QString text;
        TWFind::Range hit;
        QString expected;
    } cases[] = {
        // Three characters before the hit: shown whole, no ellipsis.
        {alphabet, {3, 3}, "abc" + alphabet.mid(3, 3) + alphabet.mid(6, 13) + "..."},
        // The context just reaches the start, or falls one short of it.
        {alphabet, {13, 4}, alphabet.mid(0, 13) + alphabet.mid(13, 4) + alphabet.mid(17, 13) + "..."},
        {alphabet,
         {14, 4},
         "..." + alphabet.mid(1, 13) + alphabet.mid(14, 4) + alphabet.mid(18, 13) + "..."},
        // The same at the end.
        {alphabet, {45, 4}, "..." + alphabet.mid(32, 13) + alphabet.mid(45, 4) + alphabet.mid(49)},
        {alphabet,
         {44, 4},
         "..." + alphabet.mid(31, 13) + alphabet.mid(44, 4) + alphabet.mid(48, 13) + "..."},
        // Far into the text: an ellipsis and the 13 characters before.
        {alphabet,
         {40, 4},
         "..." + alphabet.mid(27, 13) + alphabet.mid(40, 4) + alphabet.mid(44, 13) + "..."},
        // A hit of 30 characters leaves no room for context.
        {alphabet, {10, 30}, "..." + thirty + "..."},
        // Near the end: what follows, without an ellipsis.
        {alphabet, {60, 2}, "..." + alphabet.mid(46, 14) + "YZ"},
        // Line ends and tabs show as spaces.
        {"one\ntwo\tthree", {4, 3}, "one two three"},
    };
    for (const auto &c : cases) {
        const AttributedString preview = TWFind::previewStringForRange(c.text, c.hit);
        EXPECT_EQ(preview.string(), c.expected) << c.hit.location;
        const qsizetype at = preview.string().indexOf(
            c.text.mid(c.hit.location, c.hit.length).replace('\n', ' ').replace('\t', ' '));
        ASSERT_GE(at, 0);
        const Font hit = preview.attribute(NSFontAttributeName, at).value<Font>();
        EXPECT_EQ(hit.pointSize(), TWFind::PreviewHitSize);
        EXPECT_EQ(hit.fontName(), TWFind::previewHitFontName());
        if (at > 0) {
            EXPECT_EQ(preview.attribute(NSFontAttributeName, 0).value<Font>().pointSize(),
                      TWFind::PreviewContextSize);
        }
    }
}

// --- the controller over maps ---

// root "map root" with children "alpha map" (an attached text "map note"
// and notes "see the map"), "beta" and "gamma MAP map".
class FindController : public BranchTest::BranchFixture
{
protected:
    FindController() : alertsScope(&alerts), checkerScope(&checker), host(document)
    {
        document->setGraphicClassIdentifier(2);
        map->setCanvasSize(Size(2000, 1500));
        map->setZoomAmount(100);
        view.setDocument(&host);
        view.resize(640, 480);
        host.canvas = &view;
        host.documents = {&host};
        active = &host;
        TWFindController::setActiveDocumentProvider([this] { return active; });
        controller = std::make_unique<TWFindController>();
        TWFindController::setShared(controller.get());

        root->enclosedTextArea()->setString("map root");
        alpha = child(root, 100, "alpha map");
        attached = TWGraphic::make<TWTextArea>(Rect(600, 100, 80, 20));
        attached->setString("map note");
        attached->setPrimitiveBranch(alpha.get());
        alpha->insertObjectInLinkedGraphicsAtIndex(attached, 0);
        alpha->setPrimaryAttachedText(std::make_shared<const AttributedString>("see the map"));
        beta = child(root, 200, "beta");
        gamma = child(root, 300, "gamma MAP map");
        settle();
    }
    ~FindController() override
    {
        TWFindController::setShared(nullptr);
        TWFindController::setActiveDocumentProvider(nullptr);
        controller.reset();
        view.setDocument(nullptr);
    }
    void settle()
    {
        view.performPendingLayout();
        BranchFixture::settle();
    }
    void setIgnoreCase(bool on)
    {
        defaults.setBool(on, QLatin1String(TWPreferences::FindIgnoreCaseKey));
    }
    void setScope(int scope)
    {
        defaults.setInteger(scope, QLatin1String(TWPreferences::FindScopeKey));
    }
    QString selectedDescription() const
    {
        const int row = controller->selectionIndex();
        return row < 0 ? QString() : describe(controller->findResults().at(row));
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    WordListSpellChecker checker{{"map", "root", "alpha", "beta", "see", "the", "note"}};
    SpellChecker::Scope checkerScope;
    FindHost host;
    TWGraphicView view;
    TWCanvasHost *active = nullptr;
    std::unique_ptr<TWFindController> controller;
    std::shared_ptr<TWMapBranch> alpha, beta, gamma;
    std::shared_ptr<TWTextArea> attached;
};

TEST_F(FindController, CollectsLabelAttachedTextNotesThenChildrenDepthFirst)
{
    const struct
    {
        bool ignoreCase;
        QString find;
        QStringList expected;
    } cases[] = {
        {true,
         "map",
         {"Branch map root 0", "Branch alpha map 6", "Attached Text alpha map 0",
          "Branch Notes alpha map 8", "Branch gamma MAP map 6", "Branch gamma MAP map 10"}},
        {false, "MAP", {"Branch gamma MAP map 6"}},
        {true, "nowhere", {}},
    };
    for (const auto &c : cases) {
        setIgnoreCase(c.ignoreCase);
        controller->setFindString(c.find);
        EXPECT_EQ(describe(controller->findResults()), c.expected) << c.find.toStdString();
    }
    // No find string: the list stays as it was.
    controller->setFindString(QString());
    EXPECT_TRUE(controller->findResults().isEmpty());
    controller->setFindString("beta");
    controller->setFindString(QString());
    EXPECT_EQ(describe(controller->findResults()), QStringList{"Branch beta 0"});
}

TEST_F(FindController, ScopeWidensFromTheMapToTheDocumentToEveryDocument)
{
    // A second map in this document, and another document behind it.
    auto second = TWMap::create(document.get());
    document->addMap(second, false);
    auto secondRoot = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(10, 10, 80, 30)), nullptr, second.get());
    secondRoot->enclosedTextArea()->setString("beta two");
    second->setRoot(secondRoot);
    auto otherDocument = TWMapsDoc::create();
    auto otherMap = TWMap::create(otherDocument.get());
    otherDocument->addMap(otherMap, true);
    auto otherRoot = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(10, 10, 80, 30)), nullptr, otherMap.get());
    otherRoot->enclosedTextArea()->setString("beta three");
    otherMap->setRoot(otherRoot);
    FindHost otherHost(otherDocument);
    host.documents = {&otherHost, &host};
    settle();

    const struct
    {
        int scope;
        QStringList expected;
    } cases[] = {
        {1, {"Branch beta 0"}},
        {2, {"Branch beta 0", "Branch beta two 0"}},
        {3, {"Branch beta 0", "Branch beta two 0", "Branch beta three 0"}},
        {0, {"Branch beta 0"}},
    };
    controller->setFindString("beta");
    for (const auto &c : cases) {
        // Changing the scope refreshes the list by itself.
        setScope(c.scope);
        EXPECT_EQ(describe(controller->findResults()), c.expected) << c.scope;
    }
    // The current map of the active document comes first whichever it is.
    setScope(2);
    document->setCurrentMapNumber(1);
    const QStringList secondFirst{"Branch beta two 0", "Branch beta 0"};
    EXPECT_TRUE(waitUntil([&] { return describe(controller->findResults()) == secondFirst; }));

    // A hit in the other document brings its window forward.
    setScope(3);
    controller->setSelectionIndex(2);
    EXPECT_EQ(otherHost.frontOrders, 1);
    otherDocument->detach();
}

TEST_F(FindController, NextAndPreviousWrapAround)
{
    controller->setFindString("map");
    ASSERT_EQ(controller->findResults().size(), 6);
    const struct
    {
        void (TWFindController::*move)();
        int from;
        int expected;
    } cases[] = {
        {&TWFindController::next, 0, 1},     {&TWFindController::next, 5, 0},
        {&TWFindController::previous, 0, 5}, {&TWFindController::previous, 3, 2},
        {&TWFindController::next, -1, 0},
    };
    for (const auto &c : cases) {
        controller->setSelectionIndex(c.from);
        (controller.get()->*c.move)();
        EXPECT_EQ(controller->selectionIndex(), c.expected) << c.from;
    }
}

TEST_F(FindController, ShowingALabelHitSelectsItInTheEditor)
{
    controller->setFindString("map");
    controller->setSelectionIndex(4); // "gamma MAP map" at 6
    ASSERT_EQ(view.editingTextArea(), gamma->enclosedTextArea().get());
    EXPECT_EQ(view.editorView()->selectedRange(), (AttributedString::Range{6, 3}));

    // An attached text is edited the same way.
    controller->setSelectionIndex(2);
    EXPECT_EQ(view.editingTextArea(), attached.get());
    EXPECT_EQ(view.editorView()->selectedRange(), (AttributedString::Range{0, 3}));
}

TEST_F(FindController, NotesHitOpensTheNotesViewWithTheHitSelected)
{
    controller->setFindString("map");
    controller->setSelectionIndex(3);
    EXPECT_EQ(host.notesShown, 1);
    EXPECT_EQ(host.notesBranch, alpha.get());
    EXPECT_EQ(host.notes.textCursor().selectedText(), "map");
    EXPECT_EQ(host.notes.textCursor().selectionStart(), 8);

    // Replacing goes through the notes view.
    controller->setReplaceString("chart");
    ASSERT_TRUE(controller->replace());
    EXPECT_EQ(alpha->primaryAttachedText()->string(), "see the chart");
}

TEST_F(FindController, ResultThatCannotBeShownIsNotMarkedReplaced)
{
    host.notesAvailable = false;
    controller->setFindString("map");
    controller->setReplaceString("chart");
    controller->setSelectionIndex(3);
    alerts.clear();
    EXPECT_FALSE(controller->replace());
    EXPECT_EQ(alerts.beepCount(), 1);
    EXPECT_FALSE(controller->findResults().at(3).isReplaced());
    EXPECT_EQ(alpha->primaryAttachedText()->string(), "see the map");
}

TEST_F(FindController, ReplaceThroughTheEditorIsOneEditTextStep)
{
    controller->setFindString("map");
    controller->setReplaceString("plan");
    controller->setSelectionIndex(4);
    ASSERT_TRUE(controller->replace());
    // The later hit of the same label moved with the change.
    EXPECT_EQ(controller->findResults().at(5).range().location, 11);
    EXPECT_TRUE(controller->findResults().at(4).isReplaced());
    view.endEditingTextArea();
    settle();
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma plan map");
    EXPECT_EQ(undo->undoActionName(), TWLocalizedString(StringTable::DadoZiz, "Edit text"));
    undo->undo();
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma MAP map");

    // Replace and find goes on to the next hit, which still fits.
    controller->updateResults();
    controller->setSelectionIndex(4);
    controller->replaceAndFind();
    EXPECT_EQ(controller->selectionIndex(), 5);
    ASSERT_TRUE(controller->replace());
    view.endEditingTextArea();
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma plan plan");
    EXPECT_EQ(alerts.beepCount(), 0);
}

TEST_F(FindController, StaleResultIsRefusedAndTheListRefreshed)
{
    const struct
    {
        QString edited;
        qsizetype refreshedLocation;
    } cases[] = {
        // The hit moved: the range now covers other characters.
        {"the beta", 4},
        // The hit is gone and the text is shorter than the range.
        {"b", -1},
    };
    controller->setReplaceString("zeta");
    for (const auto &c : cases) {
        beta->enclosedTextArea()->setString("beta");
        controller->setFindString("beta");
        controller->setSelectionIndex(0);
        view.endEditingTextArea();
        beta->enclosedTextArea()->setString(c.edited);
        alerts.clear();

        EXPECT_FALSE(controller->replace());
        EXPECT_EQ(alerts.beepCount(), 1);
        EXPECT_EQ(beta->enclosedTextArea()->text().string(), c.edited);
        if (c.refreshedLocation < 0) {
            EXPECT_TRUE(controller->findResults().isEmpty());
        } else {
            ASSERT_EQ(controller->findResults().size(), 1);
            EXPECT_FALSE(controller->findResults().first().isReplaced());
            EXPECT_EQ(controller->findResults().first().range().location, c.refreshedLocation);
        }
    }
}

TEST_F(FindController, ReplaceAllAsksThenEditsEveryHitOnce)
{
    // Only beta's label holds text here.
    for (const auto &b : {root, alpha, gamma})
        b->enclosedTextArea()->setString("x");
    attached->setString("x");
    alpha->setPrimaryAttachedText(nullptr);
    const struct
    {
        QString text, find, replacement;
        bool ignoreCase;
        int answer;
        QString expectedMessage;
        QString expectedText;
    } cases[] = {
        {"banana", "a", "aa", false, 0,
         "Do you really want to replace 3 occurances of \"a\" with \"aa\"?", "baanaanaa"},
        {"banana", "a", "aa", false, 1,
         "Do you really want to replace 3 occurances of \"a\" with \"aa\"?", "banana"},
        // A change of case alone is a correction, even with case ignored.
        {"Mapping", "Map", "map", true, 0,
         "Do you really want to replace 1 occurances of \"Map\" with \"map\"?", "mapping"},
        {"aaaa", "aa", "", false, 0,
         "Do you really want to replace 2 occurances of \"aa\" with \"\"?", ""},
        // Nothing to ask when find and replacement are the same.
        {"banana", "an", "an", false, 0, "", "banana"},
    };
    for (const auto &c : cases) {
        beta->enclosedTextArea()->setString(c.text);
        setIgnoreCase(c.ignoreCase);
        controller->setFindString(c.find);
        controller->setReplaceString(c.replacement);
        settle();
        alerts.clear();
        alerts.queueAlertResponse(c.answer);

        controller->replaceAll();
        EXPECT_EQ(beta->enclosedTextArea()->text().string(), c.expectedText)
            << c.text.toStdString();
        if (c.expectedMessage.isEmpty()) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
        } else {
            ASSERT_EQ(alerts.alerts().size(), 1);
            EXPECT_EQ(alerts.alerts().first().title, "Replace");
            EXPECT_EQ(alerts.alerts().first().message, c.expectedMessage);
            EXPECT_EQ(alerts.alerts().first().buttons, (QStringList{"Replace", "Cancel"}));
        }
    }
}

TEST_F(FindController, ReplaceAllEditsLabelsAttachedTextsAndNotesAsOneUndoStep)
{
    controller->setFindString("map");
    controller->setReplaceString("plan");
    settle();
    const Rect labelBefore = gamma->enclosedTextArea()->bounds();
    const Rect attachedBefore = attached->bounds();
    ASSERT_TRUE(controller->replaceAll());
    // A label is fitted to its new text; an attached text keeps its size.
    const Rect label = gamma->enclosedTextArea()->bounds();
    EXPECT_NE(label, labelBefore);
    EXPECT_EQ(label.height(),
              gamma->enclosedTextArea()->requiredSizeForWidth(label.width()).height);
    EXPECT_EQ(attached->bounds().size, attachedBefore.size);
    settle();
    EXPECT_EQ(root->enclosedTextArea()->text().string(), "plan root");
    EXPECT_EQ(attached->text().string(), "plan note");
    EXPECT_EQ(alpha->primaryAttachedText()->string(), "see the plan");
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma plan plan");
    // Refreshed afterwards: nothing is left to find.
    EXPECT_TRUE(controller->findResults().isEmpty());

    undo->undo();
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma MAP map");
    EXPECT_EQ(alpha->primaryAttachedText()->string(), "see the map");
}

TEST_F(FindController, SpellingWalksTheMapInBranchOrderAndWraps)
{
    beta->enclosedTextArea()->setString("beta wrng");
    alpha->setPrimaryAttachedText(std::make_shared<const AttributedString>("see teh map"));
    settle();
    // Misspelled, in order: alpha's notes "teh", beta's "wrng", gamma's
    // "gamma" and "MAP map" are known apart from "gamma".
    const QStringList expected{"teh", "wrng", "gamma", "teh", "wrng"};
    QStringList walked;
    for (int i = 0; i < expected.size(); ++i) {
        controller->checkSpelling();
        walked << controller->misspelledWord();
    }
    EXPECT_EQ(walked, expected);

    // An ignored word is passed over from then on.
    controller->ignoreSpelling("wrng");
    controller->checkSpelling();
    EXPECT_EQ(controller->misspelledWord(), "gamma");
    controller->checkSpelling();
    EXPECT_EQ(controller->misspelledWord(), "teh");

    if (const QByteArray folder = qgetenv("TW_SCREENSHOT_DIR"); !folder.isEmpty()) {
        controller->showGuessPanel();
        QTest::qWait(50);
        controller->spellingPanel()->grab().save(QString::fromLocal8Bit(folder) +
                                                 "/spelling-panel.png");
        controller->spellingPanel()->close();
    }
}

TEST_F(FindController, ChangeSpellingCorrectsTheWordShownAndMovesOn)
{
    gamma->enclosedTextArea()->setString("gama and gama");
    checker = WordListSpellChecker(
        {"map", "root", "alpha", "beta", "see", "the", "note", "and", "gamma"});
    controller->checkSpelling();
    ASSERT_EQ(controller->misspelledWord(), "gama");
    controller->changeSpelling("gamma");
    // The second "gama" moved by one character and is shown next.
    EXPECT_EQ(controller->misspelledWord(), "gama");
    EXPECT_EQ(controller->currentSpellingResult()->range().location, 10);
    view.endEditingTextArea();
    EXPECT_EQ(gamma->enclosedTextArea()->text().string(), "gamma and gama");

    // A word that changed under the panel is left alone.
    controller->checkSpelling();
    ASSERT_EQ(controller->currentSpellingResult()->range().location, 10);
    view.editorView()->setAttributedString(AttributedString("gamma and gamut"));
    alerts.clear();
    controller->changeSpelling("gamma");
    EXPECT_EQ(alerts.beepCount(), 1);
}

TEST_F(FindController, NothingToCheckLeavesTheSpellingPanelEmpty)
{
    checker = WordListSpellChecker({"map", "root", "alpha", "beta", "see", "the", "note", "gamma"});
    controller->showGuessPanel();
    ASSERT_NE(controller->spellingPanel(), nullptr);
    EXPECT_EQ(controller->spellingPanel()->misspelledWord(), "");
    EXPECT_FALSE(controller->currentSpellingResult().has_value());
    // No document: nothing to walk either.
    active = nullptr;
    controller->checkSpelling();
    EXPECT_EQ(controller->misspelledWord(), "");
    controller->spellingPanel()->close();
}

TEST_F(FindController, EditorSpellingCommandsLeadToTheController)
{
    beta->enclosedTextArea()->setString("beta wrng");
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(alpha->enclosedTextArea(), 0);
    view.startEditingSelectedBranch();
    SpellableTextView *editor = view.editorView();
    ASSERT_TRUE(editor->respondsToAction("checkSpelling:"));
    editor->performAction("checkSpelling:", {});
    EXPECT_EQ(controller->misspelledWord(), "wrng");
    editor->performAction("ignoreSpelling:", QString("wrng"));
    EXPECT_TRUE(checker.ignoredWords(controller->spellTag()).contains("wrng"));
}

TEST_F(FindController, PanelSetsTheSearchAndWalksTheResults)
{
    controller->showFindPanel();
    TWFindPanel *panel = controller->findPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->objectName(), "TWDFindPanel");
    EXPECT_FALSE(panel->isModal());

    panel->findField()->setText("map");
    panel->commitFindField();
    EXPECT_EQ(controller->findString(), "map");
    EXPECT_EQ(panel->resultsTable()->model()->rowCount(), 6);
    EXPECT_EQ(panel->resultsTable()->model()->index(3, 0).data().toString(), "Branch Notes");
    EXPECT_EQ(panel->resultsTable()->model()->index(3, 1).data().toString(), "see the map");
    panel->replaceField()->setText("plan");
    EXPECT_EQ(controller->replaceString(), "plan");

    const struct
    {
        const char *button;
        int expectedRow;
    } clicks[] = {{"next", 1}, {"next", 2}, {"previous", 1}, {"previous", 0}, {"previous", 5}};
    controller->setSelectionIndex(0);
    for (const auto &c : clicks) {
        QPushButton *b = panel->button(c.button);
        ASSERT_NE(b, nullptr) << c.button;
        b->click();
        EXPECT_EQ(controller->selectionIndex(), c.expectedRow) << c.button;
    }
    // Row 5 is gamma's second "map": the editor shows it.
    EXPECT_EQ(view.editingTextArea(), gamma->enclosedTextArea().get());

    // The scope and case controls write the preferences, which refresh the list.
    panel->scopeMenu()->setCurrentIndex(1);
    emit panel->scopeMenu()->activated(1);
    EXPECT_EQ(defaults.integerForKey(QLatin1String(TWPreferences::FindScopeKey)), 2);
    panel->ignoreCaseBox()->setChecked(false);
    EXPECT_FALSE(defaults.boolForKey(QLatin1String(TWPreferences::FindIgnoreCaseKey)));
    EXPECT_EQ(panel->resultsTable()->model()->rowCount(), 5);

    // The preview column is drawn with the hit larger than its context.
    const QModelIndex preview = panel->resultsTable()->model()->index(0, 1);
    QStyleOptionViewItem option;
    option.font = panel->font();
    const QSize size = panel->resultsTable()->itemDelegateForColumn(1)->sizeHint(option, preview);
    EXPECT_GT(size.width(), QFontMetrics(panel->font()).horizontalAdvance("map root"));

    if (const QByteArray folder = qgetenv("TW_SCREENSHOT_DIR"); !folder.isEmpty()) {
        panel->resize(560, 320);
        QTest::qWait(50);
        panel->grab().save(QString::fromLocal8Bit(folder) + "/find-panel.png");
    }
    panel->close();
}

TEST_F(FindController, ReplaceAllEndsEditingInEveryDocumentSoNoEditorWritesBackOldText)
{
    auto otherDocument = TWMapsDoc::create();
    otherDocument->setUndoManager(std::make_shared<UndoManager>());
    auto otherMap = TWMap::create(otherDocument.get());
    otherDocument->addMap(otherMap, true);
    auto otherRoot = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(10, 10, 80, 30)), nullptr, otherMap.get());
    otherRoot->enclosedTextArea()->setString("needle");
    otherMap->setRoot(otherRoot);
    FindHost otherHost(otherDocument);
    TWGraphicView otherView;
    otherView.setDocument(&otherHost);
    otherHost.canvas = &otherView;
    host.documents = {&host, &otherHost};
    setScope(3);
    beta->enclosedTextArea()->setString("needle");
    settle();

    // The document behind has its label open in its editor.
    otherRoot->enclosedTextArea()->setIsEditing(true);
    ASSERT_EQ(otherView.editingTextArea(), otherRoot->enclosedTextArea().get());

    controller->setFindString("needle");
    controller->setReplaceString("pin");
    ASSERT_TRUE(controller->replaceAll());
    EXPECT_EQ(view.editingTextArea(), nullptr);
    EXPECT_EQ(otherView.editingTextArea(), nullptr);
    EXPECT_EQ(beta->enclosedTextArea()->text().string(), "pin");
    EXPECT_EQ(otherRoot->enclosedTextArea()->text().string(), "pin");
    otherView.setDocument(nullptr);
    otherDocument->detach();
}
