#include "PowerPointTestSupport.h"

#include "support/Color.h"
#include "support/Font.h"

#include <QPushButton>

using namespace PowerPointTest;

namespace {

QList<int> slidesOf(const QList<Op> &ops)
{
    QList<int> out;
    for (const Op &op : ops)
        out << op.slide;
    return out;
}

} // namespace

TEST(TWPowerPointOperation, LiteralsSpellEveryUnsafeCharacter)
{
    const struct
    {
        QString text;
        QString literal;
    } cases[] = {
        {QStringLiteral("plain"), QStringLiteral("\"plain\"")},
        {QStringLiteral("a\\b"), QStringLiteral("\"a\" & Chr$(92) & \"b\"")},
        {QStringLiteral("say \"hi\""),
         QStringLiteral("\"say \" & Chr$(34) & \"hi\" & Chr$(34) & \"\"")},
        {QString(QChar(0x4e88)), QStringLiteral("\"\" & ChrW$(&H4e88) & \"\"")},
        {QStringLiteral("é"), QStringLiteral("\"\" & ChrW$(&He9) & \"\"")},
        {QStringLiteral("a\tb"), QStringLiteral("\"a\" & Chr$(9) & \"b\"")},
        // The placeholders of a substitution scheme are plain text here.
        {QStringLiteral("Z#Z#Z#Y Y$Y$Y$Z"), QStringLiteral("\"Z#Z#Z#Y Y$Y$Y$Z\"")},
        // Text that would close the literal and run code stays inside it.
        {QStringLiteral("\" & Shell(\"x\") & \""),
         QStringLiteral("\"\" & Chr$(34) & \" & Shell(\" & Chr$(34) & \"x\" & Chr$(34) & \") & "
                        "\" & Chr$(34) & \"\"")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Op::quotedLiteral(c.text), c.literal) << c.text.toStdString();
}

TEST(TWPowerPointOperation, CommandTexts)
{
    Op color = Op::characters(Op::Kind::Color, Op::Target::Notes, 1, 3, 4);
    color.red = 255;
    color.blue = 128;
    Op font = Op::characters(Op::Kind::FontName, Op::Target::Title, 2, 1, 5);
    font.text = QStringLiteral("A\"B");
    Op align = Op::characters(Op::Kind::Alignment, Op::Target::Body, 3, 1, 2);
    align.alignment = 2;
    const struct
    {
        Op op;
        QString command;
    } cases[] = {
        {Op::addBlankSlide(1), "ActivePresentation.Slides.Add 1,ppLayoutBlank"},
        {Op::addTitleSlide(1), "ActivePresentation.Slides.Add 1,ppLayoutTitleOnly"},
        {Op::addTextSlide(4), "ActivePresentation.Slides.Add 4,ppLayoutText"},
        {Op::addPicture(1, "/tmp/p.tiff", -10, 5, 740, 530),
         "ActivePresentation.Slides(1).Shapes.AddPicture \"/tmp/p.tiff\", False, True, -10, 5, "
         "740, 530"},
        {Op::setText(Op::Target::Title, 2, "T"),
         "ActivePresentation.Slides(2).Shapes.Title.TextFrame.TextRange.Text = \"T\""},
        {Op::insertBreak(Op::Target::Body, 2),
         "ActivePresentation.Slides(2).Shapes.Placeholders(2).TextFrame.TextRange.InsertAfter = "
         "vbCrLf"},
        {Op::setIndentLevel(3, 1, 2), "ActivePresentation.Slides(3).Shapes.Placeholders(2)."
                                      "TextFrame.TextRange.Paragraphs(1).IndentLevel = 2"},
        {color, "ActivePresentation.Slides(1).NotesPage.Shapes.Placeholders(2).TextFrame."
                "TextRange.Characters(3,4).Font.Color.RGB = RGB(255, 0, 128)"},
        {font, "ActivePresentation.Slides(2).Shapes.Title.TextFrame.TextRange.Characters(1,5)."
               "Font.Name = \"A\" & Chr$(34) & \"B\""},
        {align, "ActivePresentation.Slides(3).Shapes.Placeholders(2).TextFrame.TextRange."
                "Characters(1,2).ParagraphFormat.Alignment = ppAlignCenter"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.op.commandText(), c.command);
}

TEST(TWPowerPointExporterPicture, FitsTheZoomedSlideKeepingProportions)
{
    const struct
    {
        Size map;
        double zoom;
        Size picture;
    } cases[] = {
        {{400, 300}, 100, {528, 396}}, {{400, 300}, 50, {264, 198}},
        {{800, 300}, 100, {720, 270}}, // wide: full width, not stretched
        {{100, 400}, 100, {99, 396}},  // tall: the full height under the title
        {{400, 300}, 0, {5.28f, 3.96f}}, // a zoom below 1 per cent counts as 1
        {{0, 0}, 100, {720, 396}},
    };
    for (const auto &c : cases) {
        const Size s = TWPowerPointExporter::pictureSize(c.map, c.zoom);
        EXPECT_NEAR(s.width, c.picture.width, 0.01) << c.map.width << "x" << c.map.height;
        EXPECT_NEAR(s.height, c.picture.height, 0.01) << c.map.width << "x" << c.map.height;
    }
}

TEST(TWPowerPointExporterLines, SplitsAtEveryKindOfBreak)
{
    const auto lines = TWPowerPointExporter::splitLines(
        QStringLiteral("a\r\nbb\rc\nd") + QChar(0x2028) + QStringLiteral("e") + QChar(0x2029));
    QStringList texts;
    QList<qsizetype> starts;
    for (const auto &l : lines) {
        texts << l.text;
        starts << l.start;
    }
    EXPECT_EQ(texts, QStringList({"a", "bb", "c", "d", "e", ""}));
    EXPECT_EQ(starts, QList<qsizetype>({0, 3, 6, 8, 10, 12}));
}

class TWPowerPointExporterTest : public PowerPointFixture
{};

TEST_F(TWPowerPointExporterTest, NoteAndTwoMainBranchesGiveThreeSlides)
{
    setPrintingSize({400, 300});
    addNote(*root, QStringLiteral("central"));
    addChildren();
    ASSERT_TRUE(exportAll());
    EXPECT_EQ(ppt.launches, 1);
    EXPECT_EQ(ppt.saved, QStringList{outDir.filePath("out.pptx")});
    EXPECT_EQ(slidesOf(ppt.ofKind(Op::Kind::AddTitleSlide)), QList<int>{1});
    EXPECT_EQ(slidesOf(ppt.ofKind(Op::Kind::AddTextSlide)), QList<int>({2, 3}));
    const auto inserts = ppt.ofKind(Op::Kind::InsertText);
    ASSERT_EQ(inserts.size(), 1);
    EXPECT_EQ(inserts[0].target, Op::Target::Notes);
    EXPECT_EQ(inserts[0].slide, 1);
    EXPECT_EQ(inserts[0].text, "central");
    QStringList titles;
    for (const Op &op : ppt.ofKind(Op::Kind::SetText))
        titles << QStringLiteral("%1:%2").arg(op.slide).arg(op.text);
    EXPECT_EQ(titles, QStringList({"1:root", "2:first", "3:second"}));
    EXPECT_TRUE(ppt.ofKind(Op::Kind::SetIndentLevel).isEmpty());
    // The picture fills the band under the title at the default zoom.
    const auto pictures = ppt.ofKind(Op::Kind::AddPicture);
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(
        QList<int>({pictures[0].left, pictures[0].top, pictures[0].width, pictures[0].height}),
        QList<int>({96, 126, 528, 396}));
    EXPECT_TRUE(QFileInfo(pictures[0].text).isFile());
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(progress.maximum(), map->branchCount() + 1);
}

TEST_F(TWPowerPointExporterTest, TwelveSubBranchesContinueOnASecondSlide)
{
    auto main = child(root, 260, "main");
    for (int i = 1; i <= 12; ++i)
        child(main, 100 + 40 * i, QStringLiteral("s%1").arg(i), 700);
    settle();
    ASSERT_TRUE(exportAll());
    EXPECT_EQ(slidesOf(ppt.ofKind(Op::Kind::AddTextSlide)), QList<int>({2, 3}));
    QStringList titles, indents;
    for (const Op &op : ppt.ofKind(Op::Kind::SetText))
        titles << QStringLiteral("%1:%2").arg(op.slide).arg(op.text);
    EXPECT_EQ(titles, QStringList({"1:root", "2:main", "3:main"}));
    for (const Op &op : ppt.ofKind(Op::Kind::SetIndentLevel))
        indents << QStringLiteral("%1/%2/%3").arg(op.slide).arg(op.paragraph).arg(op.level);
    QStringList expected;
    for (int p = 1; p <= 10; ++p)
        expected << QStringLiteral("2/%1/1").arg(p);
    expected << "3/1/1"
             << "3/2/1";
    EXPECT_EQ(indents, expected);
    // No break after the tenth paragraph of a full slide or after the last.
    QList<int> breaks = slidesOf(ppt.ofKind(Op::Kind::InsertBreak));
    EXPECT_EQ(breaks.count(2), 9);
    EXPECT_EQ(breaks.count(3), 1);
    // Character positions count from the start of each slide's body.
    const auto colors = ppt.ofKind(Op::Kind::Color);
    ASSERT_FALSE(colors.isEmpty());
    EXPECT_EQ(colors.last().slide, 3);
    EXPECT_EQ(colors.last().start, 5); // "s11" and a break, then "s12"
}

TEST_F(TWPowerPointExporterTest, LinesAndLevelsAddressTheRightParagraphs)
{
    auto main = child(root, 260, "Main\ntopic");
    auto two = child(main, 200, "a\nb", 700);
    child(two, 200, "deep", 900);
    child(main, 300, "c", 700);
    settle();
    ASSERT_TRUE(exportAll());
    QStringList indents;
    for (const Op &op : ppt.ofKind(Op::Kind::SetIndentLevel))
        indents << QStringLiteral("%1=%2").arg(op.paragraph).arg(op.level);
    EXPECT_EQ(indents, QStringList({"1=1", "3=2", "4=1"}));
    const auto titles = ppt.ofKind(Op::Kind::SetText);
    ASSERT_EQ(titles.size(), 2); // the map's slide's, then the branch's
    EXPECT_EQ(titles[1].text, "Main topic");
    QStringList body;
    for (const Op &op : ppt.operations)
        if (op.target == Op::Target::Body &&
            (op.kind == Op::Kind::InsertText || op.kind == Op::Kind::InsertBreak))
            body << (op.kind == Op::Kind::InsertBreak ? QStringLiteral("|") : op.text);
    EXPECT_EQ(body.join(QString()), "a|b|deep|c");
}

TEST_F(TWPowerPointExporterTest, AttributesLandOnTheCharactersTheyStyle)
{
    AttributedString title(QStringLiteral("x\\\"") + QChar(0x4e88) + QStringLiteral("bold"));
    title.addAttribute(NSFontAttributeName, QVariant::fromValue(Font("DejaVuSans-Bold", 20)),
                       {4, 4});
    title.addAttribute(NSForegroundColorAttributeName,
                       QVariant::fromValue(Color::colorWithCalibratedRed(1, 0.5, 0)), {4, 4});
    title.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 1});
    auto main = child(root, 260, "t");
    main->enclosedTextArea()->setText(title);
    settle();
    defaults.setDouble(2.0, TWPowerPointExporter::MultiplierKey);
    ASSERT_TRUE(exportAll());
    QStringList attributes;
    for (const Op &op : ppt.operations)
        if (op.target == Op::Target::Title && op.slide == 2 && op.kind != Op::Kind::SetText &&
            op.kind != Op::Kind::Alignment)
            attributes << op.commandText().section(QStringLiteral("TextRange."), 1);
    EXPECT_EQ(attributes,
              QStringList({"Characters(1,1).Font.Color.RGB = RGB(0, 0, 0)",
                           "Characters(1,1).Font.Underline = msoTrue",
                           "Characters(2,3).Font.Color.RGB = RGB(0, 0, 0)",
                           "Characters(5,4).Font.Name = \"DejaVu Sans\"",
                           "Characters(5,4).Font.Size = 40", "Characters(5,4).Font.Italic = False",
                           "Characters(5,4).Font.Bold = True",
                           "Characters(5,4).Font.Color.RGB = RGB(255, 128, 0)"}));
    const auto set = ppt.ofKind(Op::Kind::SetText);
    ASSERT_EQ(set.size(), 2);
    EXPECT_EQ(set[1].commandText().section(QStringLiteral(".Text = "), 1),
              "\"x\" & Chr$(92) & \"\" & Chr$(34) & \"\" & ChrW$(&H4e88) & \"bold\"");
}

TEST_F(TWPowerPointExporterTest, SizesFollowTheMultiplierWithinBounds)
{
    AttributedString label(QStringLiteral("m"),
                           {{NSFontAttributeName, QVariant::fromValue(Font("DejaVuSans", 20))}});
    const struct
    {
        double multiplier;
        int titleSize;
    } cases[] = {{1.0, 20},     {2.5, 50},   {0.0, 20}, {-3.0, 20},
                 {qQNaN(), 20}, {1e9, 2000}, {0.01, 1}};
    for (const auto &c : cases) {
        defaults.setDouble(c.multiplier, TWPowerPointExporter::MultiplierKey);
        ppt.operations.clear();
        ASSERT_TRUE(exporter.setSlideTitle(label));
        ASSERT_TRUE(exporter.appendNote(label));
        const auto sizes = ppt.ofKind(Op::Kind::FontSize);
        ASSERT_EQ(sizes.size(), 2);
        EXPECT_EQ(sizes[0].number, c.titleSize) << c.multiplier;
        EXPECT_EQ(sizes[1].number, 20) << "notes are never multiplied";
    }
}

TEST_F(TWPowerPointExporterTest, HiddenBranchesAreLeftOutWhenAsked)
{
    const struct
    {
        bool includeHidden;
        int perPage;
        QList<int> textSlides;
        QStringList body;
        bool lastSlideEmpty;
    } cases[] = {
        {true, 10, {2}, {"b", "a", "a1", "a2"}, false},
        {false, 10, {2}, {"b", "a"}, false},
        // A full slide followed only by skipped entries still gets its
        // continuation slide, with an empty body.
        {false, 2, {2, 3}, {"b", "a"}, true},
        // Fewer than one per slide is one per slide.
        {false, 0, {2, 3, 4}, {"b", "a"}, true},
    };
    auto main = child(root, 260, "main");
    child(main, 200, "b", 700);
    auto a = child(main, 300, "a", 700);
    child(a, 300, "a1", 900);
    child(a, 340, "a2", 900);
    a->setChildrenHidden(true);
    settle();
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.includeHidden << " " << c.perPage);
        defaults.setBool(c.includeHidden, TWPowerPointExporter::IncludeHiddenKey);
        defaults.setInteger(c.perPage, TWPowerPointExporter::PerPageKey);
        ppt.operations.clear();
        ASSERT_TRUE(exportAll());
        QStringList body;
        QList<int> bodySlides;
        for (const Op &op : ppt.ofKind(Op::Kind::InsertText))
            if (op.target == Op::Target::Body) {
                body << op.text;
                bodySlides << op.slide;
            }
        EXPECT_EQ(body, c.body);
        const QList<int> slides = slidesOf(ppt.ofKind(Op::Kind::AddTextSlide));
        EXPECT_EQ(slides, c.textSlides);
        EXPECT_EQ(!bodySlides.contains(slides.last()), c.lastSlideEmpty);
        EXPECT_EQ(ppt.ofKind(Op::Kind::SetText).size(), c.textSlides.size() + 1);
    }
}

TEST_F(TWPowerPointExporterTest, ZoomScalesAndCentresThePicture)
{
    setPrintingSize({400, 300});
    const struct
    {
        int zoom;
        QList<int> frame;
    } cases[] = {
        {100, {96, 126, 528, 396}}, {50, {228, 225, 264, 198}}, {200, {-168, -72, 1056, 792}}};
    for (const auto &c : cases) {
        defaults.setInteger(c.zoom, TWPowerPointExporter::ZoomKey);
        ppt.operations.clear();
        ASSERT_TRUE(exportAll());
        const auto pictures = ppt.ofKind(Op::Kind::AddPicture);
        ASSERT_EQ(pictures.size(), 1);
        EXPECT_EQ(
            QList<int>({pictures[0].left, pictures[0].top, pictures[0].width, pictures[0].height}),
            c.frame)
            << c.zoom;
        const QImage written(pictures[0].text);
        EXPECT_NEAR(written.width(), c.frame[2] * 2, 1) << c.zoom;
    }
}

TEST_F(TWPowerPointExporterTest, AFailureAbandonsOnlyThatMap)
{
    addMaps();
    controller.refreshMapArrayController();
    ppt.failAt = 1; // the first map's title
    ASSERT_TRUE(exportAll());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].title, "Error in PowerPoint export");
    EXPECT_TRUE(alerts.alerts()[0].message.contains("refused"));
    // Every map started; the later ones ran through.
    EXPECT_EQ(ppt.ofKind(Op::Kind::AddTitleSlide).size(), 3);
    EXPECT_EQ(ppt.ofKind(Op::Kind::AddPicture).size(), 2);
    EXPECT_EQ(ppt.saved.size(), 1);
    EXPECT_FALSE(progress.progressPanel()->isVisible());

    // When the program itself has gone, the later maps are not tried.
    alerts.clear();
    ppt.operations.clear();
    ppt.saved.clear();
    ppt.diesOnFailure = true;
    exportAll();
    EXPECT_EQ(ppt.ofKind(Op::Kind::AddTitleSlide).size(), 1);
    EXPECT_EQ(alerts.alerts().size(), 2); // the failure, and the save that could not be made
}

namespace {

// The deck the operations build, as the presentation program keeps it:
// each slide's texts, slides inserted where the operation says; the refused
// operation does nothing.
QStringList deckOf(const QList<Op> &ops, int refused)
{
    QStringList deck;
    for (int i = 0; i < ops.size(); ++i) {
        const Op &op = ops[i];
        if (i == refused)
            continue;
        switch (op.kind) {
        case Op::Kind::AddTitleSlide:
        case Op::Kind::AddTextSlide:
            if (op.slide < 1 || op.slide > deck.size() + 1)
                return {QStringLiteral("no place for slide %1").arg(op.slide)};
            deck.insert(op.slide - 1, op.kind == Op::Kind::AddTitleSlide ? QStringLiteral("picture")
                                                                         : QStringLiteral("text"));
            break;
        case Op::Kind::SetText:
        case Op::Kind::InsertText:
            if (op.slide < 1 || op.slide > deck.size())
                return {QStringLiteral("no slide %1").arg(op.slide)};
            deck[op.slide - 1] += u' ' + op.text;
            break;
        default:
            break;
        }
    }
    return deck;
}

} // namespace

TEST_F(TWPowerPointExporterTest, MapsComeOutInTheDocumentsOrder)
{
    addChildren();
    addMaps();
    for (int i = 0; i < 3; ++i) {
        const std::shared_ptr<TWMap> &m = document->maps()[i];
        addNote(*m->root(), QStringLiteral("map%1").arg(i + 1));
        if (i == 1)
            TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({200, 0, 80, 30}),
                                           m->root().get(), m.get())
                ->enclosedTextArea()
                ->setString(QStringLiteral("inner"));
    }
    const struct
    {
        const char *what;
        int failAt;
        QStringList deck;
    } cases[] = {
        {"every map whole",
         -1,
         {"picture root map1", "text first", "text second", "picture Second map2", "text inner",
          "picture Third map3"}},
        // The first map's title refused: its slide stays, the others follow it.
        {"the first map abandoned",
         1,
         {"picture", "picture Second map2", "text inner", "picture Third map3"}},
        // The second map's text slide refused: the third map follows what was added.
        {"the second map's text slide refused",
         -2,
         {"picture root map1", "text first", "text second", "picture Second map2",
          "picture Third map3"}},
    };
    for (const auto &c : cases) {
        ppt.operations.clear();
        ppt.failAt = c.failAt;
        if (c.failAt == -2) {
            // Count the operations up to the second map's first text slide.
            ppt.failAt = -1;
            exportAll();
            int textSlides = 0;
            for (int i = 0; i < ppt.operations.size(); ++i)
                if (ppt.operations[i].kind == Op::Kind::AddTextSlide && ++textSlides == 3)
                    ppt.failAt = i;
            ppt.operations.clear();
        }
        alerts.clear();
        ASSERT_TRUE(exportAll()) << c.what;
        EXPECT_EQ(deckOf(ppt.operations, ppt.failAt), c.deck) << c.what;
    }
}

TEST_F(TWPowerPointExporterTest, FailuresOfTheProgramAreReported)
{
    const struct
    {
        bool launchFails;
        bool saveFails;
        QString title;
    } cases[] = {
        {true, false, "Unable to start LibreOffice Impress"},
        {false, true, "Error saving file"},
    };
    for (const auto &c : cases) {
        alerts.clear();
        ppt.saved.clear();
        ppt.launchFails = c.launchFails;
        ppt.saveFails = c.saveFails;
        EXPECT_FALSE(exportAll());
        ASSERT_EQ(alerts.alerts().size(), 1) << c.title.toStdString();
        EXPECT_EQ(alerts.alerts()[0].title, c.title);
        EXPECT_EQ(ppt.saved.size(), c.launchFails ? 0 : 1);
    }
}

TEST_F(TWPowerPointExporterTest, ThePanelChoosesFileAndMapsFirst)
{
    addMaps();
    exporter.begin(); // cancelled
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].settings, TWExportPanelRequest::Settings::PowerPoint);
    EXPECT_EQ(panels[0].fileType, "pptx");
    EXPECT_EQ(panels[0].mapNames.size(), 3);
    EXPECT_EQ(ppt.launches, 0);

    const int shown = document->currentMapNumber();
    panelAnswer = TWExportPanelResult{outDir.filePath("chosen.pptx"), {2, 0}};
    exporter.begin();
    EXPECT_EQ(ppt.saved, QStringList{outDir.filePath("chosen.pptx")});
    EXPECT_EQ(ppt.ofKind(Op::Kind::AddTitleSlide).size(), 2);
    // The map shown before is shown again.
    EXPECT_EQ(document->currentMapNumber(), shown);
}

TEST_F(TWPowerPointExporterTest, LongRunsShowProgressThroughSavingAndStopOnCancel)
{
    addMaps();
    controller.refreshMapArrayController();
    struct Case
    {
        const char *name;
        int cancelAt; // the operation during which Cancel is clicked; -1: never
        bool exported;
    };
    const Case cases[] = {
        {"runs through", -1, true},
        {"cancelled at the first slide", 0, false},
        {"cancelled in a later map", 2, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ppt.operations.clear();
        ppt.saved.clear();
        ppt.alive = true;
        ppt.backgroundQuits = ppt.quits = 0;
        alerts.clear();
        bool shownWhileSaving = false, cancellableWhileRunning = false;
        ppt.onRun = [&](int operation) {
            cancellableWhileRunning |= progress.isCancellable() &&
                                       progress.progressPanel()->isVisible() &&
                                       progress.cancelButton()->isVisible();
            if (operation == c.cancelAt)
                progress.cancelButton()->click();
        };
        ppt.onSave = [&] { shownWhileSaving = progress.progressPanel()->isVisible(); };
        EXPECT_EQ(exportAll(), c.exported);
        EXPECT_TRUE(cancellableWhileRunning);
        EXPECT_EQ(ppt.saved.size(), c.exported ? 1 : 0);
        if (c.exported)
            EXPECT_TRUE(shownWhileSaving);
        else
            EXPECT_LE(ppt.operations.size(), c.cancelAt + 1) << "nothing runs after Cancel";
        // The office is let go without the program waiting for it, and a
        // cancelled run says nothing more.
        EXPECT_EQ(ppt.backgroundQuits, 1);
        EXPECT_EQ(ppt.quits, 0);
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_FALSE(progress.progressPanel()->isVisible());
        EXPECT_FALSE(progress.isCancellable());
    }
}
