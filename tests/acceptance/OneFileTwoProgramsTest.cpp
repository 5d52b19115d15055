// One file in two programs: the window's Save notices that another program
// wrote the file since it was opened here, and asks before replacing it.

#include "AcceptanceSupport.h"

#include "../../bench/BranchDocumentGenerator.h"
#include "application/DialogAlerts.h"
#include "model/TWFileIO.h"

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList labelsInFile(const QString &path)
{
    QStringList labels;
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(path, false);
    if (!document)
        return labels;
    for (const std::shared_ptr<TWMapBranch> &branch : document->currentMap()->allBranches())
        labels << branch->enclosedTextArea()->text().string();
    document->detach();
    return labels;
}

} // namespace

class OneFileTwoPrograms : public AcceptanceTest
{
protected:
    // plan.tweb opened in a window, a child typed under its central branch,
    // then the file rewritten by another program.
    TWDocument *openedThenRewrittenElsewhere()
    {
        path = dir.filePath(QStringLiteral("plan.tweb"));
        auto made = BranchDocument::makeDocument(6);
        EXPECT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
        TWDocument *document = openDocument(path);
        if (!document)
            return nullptr;
        TWMap *map = currentMap(document);
        click(document, windowPoint(document, *map->root()->mainGraphic()));
        key(document, Qt::Key_Tab);
        type(document, QStringLiteral("mine"));
        key(document, Qt::Key_Escape);
        auto theirs = BranchDocument::makeDocument(3);
        EXPECT_EQ(theirs->saveToFile(path), TWFileIO::SaveSucceeded);
        theirs->detach();
        theirBytes = bytesOf(path);
        return document;
    }

    QString path;
    QByteArray theirBytes;
};

TEST_P(OneFileTwoPrograms, SaveAsksAndCancelLeavesTheOtherProgramsFile)
{
    TWDocument *document = openedThenRewrittenElsewhere();
    ASSERT_TRUE(document);
    ASSERT_TRUE(document->isDocumentEdited());

    alerts.queueAlertResponse(1); // Cancel
    ASSERT_TRUE(choose(document, {"File", "Save"}));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, "The file has been changed by another program.");
    EXPECT_TRUE(alerts.alerts().first().message.contains("plan.tweb"));
    EXPECT_EQ(bytesOf(path), theirBytes);
    EXPECT_TRUE(document->isDocumentEdited());

    alerts.clear();
    alerts.queueAlertResponse(2); // Save Anyway
    ASSERT_TRUE(choose(document, {"File", "Save"}));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_TRUE(labelsInFile(path).contains("mine"));
}

TEST_P(OneFileTwoPrograms, TheQuestionAsTheWindowShowsIt)
{
    TWDocument *document = openedThenRewrittenElsewhere();
    ASSERT_TRUE(document);
    // The program's own dialogs, answered as a user does: the Cancel button.
    DialogAlerts dialogs;
    Alerts::Scope shown(&dialogs);
    QStringList buttons;
    QString title;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        title = box->text();
        QAbstractButton *cancel = nullptr;
        for (QAbstractButton *button : box->buttons()) {
            buttons << button->text();
            if (button->text() == u"Cancel")
                cancel = button;
        }
        QImage image;
        if (QScreen *screen = box->screen())
            image = screen->grabWindow(0).toImage();
        if (image.isNull() || image.allGray())
            image = box->grab().toImage();
        const QString name = QStringLiteral("%1-changed-by-another.png")
                                 .arg(QString::fromLatin1(
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                                 .replace(u'/', u'-');
        image.save(QDir(Acceptance::grabFolder()).filePath(name));
        if (cancel)
            cancel->click();
        else
            box->reject();
    });
    poll.start();
    ASSERT_TRUE(choose(document, {"File", "Save"}));
    poll.stop();
    EXPECT_EQ(title, "The file has been changed by another program.");
    EXPECT_EQ(buttons.size(), 3);
    for (const char *button : {"Save As…", "Cancel", "Save Anyway"})
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(button))) << button;
    EXPECT_EQ(bytesOf(path), theirBytes);
    EXPECT_TRUE(document->isDocumentEdited());
}

ACCEPTANCE_EDITIONS(OneFileTwoPrograms);
