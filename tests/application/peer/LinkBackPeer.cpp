// A second running program for the LinkBack tests: it copies a map of its
// own, writes what the copy put on the clipboard to the file named on its
// command line (processes share no clipboard offscreen), and then serves
// edit requests as the program does. An editor it opens gets a new branch
// and is saved once; the program ends when that editor's link has closed.
//
// Prints "ready" once the copy is written, "saved <1|0>" after the save,
// "editors <n>" (how many editors were opened) when the editor has closed,
// and exits 0 then, 1 on time out, 2 on a bad start.

#include "application/DocumentController.h"
#include "application/LinkBackBus.h"
#include "application/Startup.h"
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "support/PropertyList.h"
#include "support/TWPreferences.h"

#include <QFile>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void addFirstLevelBranch(TWMap &map)
{
    map.removeAllSelectedGraphics();
    map.insertObjectInSelectedGraphicsAtIndex(map.root()->mainGraphic(), 0);
    map.publicCreateChildrenOfType(-1, std::nullopt, false, Point(0, 0));
    NotificationCenter::defaultCenter().post(TWMapBranch::EndEditingTextNotification, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    if (argc < 2)
        return 2;
    const QString clipboardFile = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir settings;
    UserDefaults defaults(settings.filePath(QStringLiteral("peer.conf")));
    UserDefaults::Scope scope(&defaults);
    TWPreferences::registerDefaults();
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);

    auto documents = std::make_unique<TWDocumentController>();
    documents->setShowsWindows(false);
    ApplicationServices services = ApplicationServices::standard();
    services.documentController = documents.get();
    const std::unique_ptr<TWApplication> app =
        TWApplication::create(Edition::Deluxe, argc, argv, std::move(services));
    app->finishLaunching({});
    if (!LinkBackBus::shared().isConnected())
        return 2;

    // The map that is copied: a root and two branches.
    auto *source = static_cast<TWDocument *>(documents->newDocument());
    if (!source || !source->graphicView())
        return 2;
    TWMap &map = *source->mapsDocument()->currentMap();
    addFirstLevelBranch(map);
    addFirstLevelBranch(map);
    map.removeAllSelectedGraphics();
    map.insertObjectInSelectedGraphicsAtIndex(map.root()->mainGraphic(), 0);
    const std::unique_ptr<QMimeData> copied = source->graphicView()->clipboardDataForSelection();
    if (!copied)
        return 2;
    QVariantMap formats;
    for (const QString &type : copied->formats())
        formats.insert(type, copied->data(type));
    const std::optional<QByteArray> written = PropertyList::dataWithPropertyList(formats);
    QFile out(clipboardFile);
    if (!written || !out.open(QIODevice::WriteOnly) || out.write(*written) != written->size())
        return 2;
    out.close();

    QPointer<TWDocument> editor;
    int editors = 0;
    QObject::connect(documents.get(), &TWDocumentController::documentAdded, app.get(),
                     [&editor, &editors](TWDocument *document) {
                         QTimer::singleShot(0, document, [&editor, &editors, document] {
                             if (document->linkBack())
                                 ++editors;
                             if (!document->linkBack() || editor)
                                 return;
                             editor = document;
                             addFirstLevelBranch(*document->mapsDocument()->currentMap());
                             say(document->save() ? "saved 1" : "saved 0");
                         });
                     });
    // Done once the editor has gone with its link.
    QTimer poll;
    bool hadEditor = false;
    QObject::connect(&poll, &QTimer::timeout, app.get(), [&] {
        if (!hadEditor) {
            hadEditor = !editor.isNull();
            return;
        }
        if (!editor || !documents->documents().contains(editor.data())) {
            say("editors " + QByteArray::number(editors));
            QCoreApplication::exit(0);
        }
    });
    poll.start(20);
    QTimer::singleShot(60000, app.get(), [] { QCoreApplication::exit(1); });
    say("ready");
    const int status = app->exec();
    // Windows go before the application object.
    documents.reset();
    return status;
}
