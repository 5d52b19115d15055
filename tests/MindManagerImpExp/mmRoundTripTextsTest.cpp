// Labels and notes come back through an export and an import as they went
// out, empty ones and line ends included.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/mmExport.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"

namespace {

using MMImportTest::ImportFixture;

QString labelOf(const TWMapBranch &branch)
{
    return branch.enclosedTextArea() ? branch.enclosedTextArea()->text().string() : QString();
}

std::optional<QString> noteOf(const TWMapBranch &branch)
{
    if (branch.attachedTextArray().isEmpty() || !branch.attachedTextArray().first()->text())
        return std::nullopt;
    return branch.attachedTextArray().first()->text()->string();
}

} // namespace

TEST_F(ImportFixture, LabelsAndNotesComeBackAsTheyWentOut)
{
    const struct
    {
        const char *what;
        QString label;
        std::optional<QString> note;
    } cases[] = {
        {"an empty label", "", std::nullopt},
        {"a label", "Plan", std::nullopt},
        {"a one-line note", "a", "one line"},
        {"a note ending with a line break", "b", "ends\n"},
        {"a note of two lines", "c", "first\nsecond"},
        {"a note with an empty line between", "d", "first\n\nthird"},
        {"an empty label with a note", "", "noted"},
    };
    map().root()->enclosedTextArea()->setString(QStringLiteral("Centre"));
    for (const auto &c : cases) {
        const std::shared_ptr<TWMapBranch> branch = map().root()->addChildOfType(2);
        ASSERT_TRUE(branch);
        branch->enclosedTextArea()->setString(c.label);
        if (c.note) {
            auto attached = std::make_shared<TWAttachedText>(std::nullopt, branch->undoManager());
            attached->setText(std::make_shared<const AttributedString>(*c.note));
            branch->insertObjectInAttachedTextArrayAtIndex(attached, 0);
        }
    }
    // Compared in the order the branches stand in, which is the order they
    // are written in.
    const auto children = map().root()->children();
    ASSERT_EQ(children.size(), std::size(cases));

    const struct
    {
        const char *format;
        std::function<bool(TWMap &)> roundTrip;
    } formats[] = {
        {"MindManager XML",
         [&](TWMap &into) {
             return mmImpExpController::populateDadoZiz(
                 into, mmImpExpController::sourceForData(
                           mmExport::xmlDataForMap(map(), QDateTime::currentDateTime())));
         }},
        {"OPML",
         [&](TWMap &into) {
             return TWOPMLImportExport().importData(
                 TWOPMLExport().opmlDataForMap(map(), TWOPMLExport::Options{true, false, true}),
                 QStringLiteral("again"), into);
         }},
    };
    for (const auto &f : formats) {
        SCOPED_TRACE(f.format);
        auto again = freshDocument();
        TWMap &back = *again->maps().first();
        ASSERT_TRUE(f.roundTrip(back));
        ASSERT_EQ(back.root()->children().size(), children.size());
        for (qsizetype i = 0; i < children.size(); ++i) {
            const TWMapBranch &read = *back.root()->children()[i];
            EXPECT_EQ(labelOf(read), labelOf(*children[i])) << i;
            EXPECT_EQ(noteOf(read), noteOf(*children[i])) << i;
        }
        again->detach();
    }
}
