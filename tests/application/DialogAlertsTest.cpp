#include "application/DialogAlerts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

namespace {

// This suite runs without an application object; panels need one.
std::unique_ptr<QApplication> applicationForPanels()
{
    static int argc = 1;
    static char name[] = "test_application";
    static char *argv[] = {name, nullptr};
    return qApp ? nullptr : std::make_unique<QApplication>(argc, argv);
}

enum class Gesture { OpenButton, TypedName, DoubleClick };

// Acts on the open panel once it shows, then cancels it if it is still open;
// `stayedIn` is the folder the panel showed when it was cancelled.
QStringList runPanel(const Alerts::OpenPanelOptions &options, Gesture gesture, const QString &item,
                     QString *stayedIn)
{
    bool acted = false;
    QTimer::singleShot(0, [&] {
        auto *panel = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!panel)
            return;
        acted = true;
        const QString path = QDir(options.directory).filePath(item);
        auto *view = panel->findChild<QListView *>(QStringLiteral("listView"));
        auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        switch (gesture) {
        case Gesture::OpenButton: {
            panel->selectFile(path);
            QPushButton *open = nullptr;
            for (QPushButton *button : panel->findChildren<QPushButton *>())
                if (button->text().remove(u'&') == u"Open")
                    open = button;
            if (open)
                open->click();
            break;
        }
        case Gesture::TypedName:
            if (name) {
                name->setText(item);
                QTest::keyClick(name, Qt::Key_Return);
            }
            break;
        case Gesture::DoubleClick: {
            // What a double click on the item sends.
            auto *model = view ? qobject_cast<QFileSystemModel *>(view->model()) : nullptr;
            const QModelIndex index = model ? model->index(path) : QModelIndex();
            if (index.isValid())
                emit view->activated(index);
            break;
        }
        }
        if (panel->isVisible()) {
            *stayedIn = panel->directory().absolutePath();
            panel->reject();
        }
    });
    DialogAlerts alerts;
    const QStringList chosen = alerts.runOpenPanel(options);
    EXPECT_TRUE(acted) << "no open panel showed";
    return chosen;
}

} // namespace

TEST(DialogAlerts, PackageFoldersAreChosenAsFiles)
{
    const std::unique_ptr<QApplication> app = applicationForPanels();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *folder : {"Plan.oo3", "Notes", "Old.OO3"}) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(folder)));
        QFile member(dir.filePath(QString::fromLatin1(folder) + QStringLiteral("/contents.xml")));
        ASSERT_TRUE(member.open(QIODevice::WriteOnly));
    }
    const struct
    {
        const char *what;
        Gesture gesture;
        const char *item;
        const char *chosen;   // nullptr: nothing chosen
        const char *stayedIn; // the folder shown when nothing was chosen
    } cases[] = {
        {"Open on a package", Gesture::OpenButton, "Plan.oo3", "Plan.oo3", nullptr},
        {"a package's name typed", Gesture::TypedName, "Plan.oo3", "Plan.oo3", nullptr},
        {"a double click on a package", Gesture::DoubleClick, "Plan.oo3", "Plan.oo3", nullptr},
        {"the type in another case", Gesture::DoubleClick, "Old.OO3", "Old.OO3", nullptr},
        // A plain folder is still a folder: entered, not chosen.
        {"a double click on a folder", Gesture::DoubleClick, "Notes", nullptr, "Notes"},
        {"Open on a folder", Gesture::OpenButton, "Notes", nullptr, "Notes"},
    };
    for (const auto &c : cases) {
        Alerts::OpenPanelOptions options;
        options.title = QStringLiteral("Import");
        options.directory = dir.path();
        options.fileTypes = {QStringLiteral("ooutline"), QStringLiteral("oo3")};
        options.packageTypes = {QStringLiteral("oo3")};
        QString stayedIn;
        const QStringList chosen =
            runPanel(options, c.gesture, QString::fromLatin1(c.item), &stayedIn);
        if (c.chosen) {
            EXPECT_EQ(chosen, QStringList{dir.filePath(QString::fromLatin1(c.chosen))}) << c.what;
        } else {
            EXPECT_TRUE(chosen.isEmpty()) << c.what;
            EXPECT_EQ(stayedIn, dir.filePath(QString::fromLatin1(c.stayedIn))) << c.what;
        }
    }
}

// What every file dialog shows in its list of file types: the plain patterns,
// never the either-case patterns it matches with.
TEST(DialogAlerts, FileDialogsShowPlainFileTypes)
{
    const std::unique_ptr<QApplication> app = applicationForPanels();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    enum class Kind { Open, OpenSeveral, OpenPackages, Save };
    const QStringList pictures = {"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp", "pdf", "eps"};
    const struct
    {
        const char *what;
        Kind kind;
        QStringList types;
        QString shown;
    } cases[] = {
        {"Open of documents, both cases given", Kind::Open, {"tweb", "TWEB"}, "Thinkweb (*.tweb)"},
        {"Save As", Kind::Save, {"tweb"}, "Thinkweb (*.tweb)"},
        {"a picture", Kind::Open, pictures,
         "Readable files (*.png *.jpg *.jpeg *.tif *.tiff *.gif *.bmp *.pdf *.eps)"},
        {"an import of several", Kind::OpenSeveral, {"opml", "mmap"},
         "Readable files (*.opml *.mmap)"},
        {"an import of packages", Kind::OpenPackages, {"ooutline", "oo3"},
         "Readable files (*.ooutline *.oo3)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QStringList shown;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto *panel = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!panel)
                return;
            seen = true;
            if (auto *combo = panel->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < combo->count(); ++i)
                    shown << combo->itemText(i);
            panel->reject();
        });
        DialogAlerts alerts;
        if (c.kind == Kind::Save) {
            Alerts::SavePanelOptions options;
            options.directory = dir.path();
            options.fileTypes = c.types;
            EXPECT_FALSE(alerts.runSavePanel(options));
        } else {
            Alerts::OpenPanelOptions options;
            options.directory = dir.path();
            options.fileTypes = c.types;
            options.allowsMultipleSelection = c.kind == Kind::OpenSeveral;
            if (c.kind == Kind::OpenPackages)
                options.packageTypes = {QStringLiteral("oo3")};
            EXPECT_TRUE(alerts.runOpenPanel(options).isEmpty());
        }
        ASSERT_TRUE(seen) << "no file dialog showed";
        EXPECT_EQ(shown, QStringList{c.shown});
    }
}
