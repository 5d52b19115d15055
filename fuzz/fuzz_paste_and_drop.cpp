// Feeds arbitrary bytes to the canvas as the clipboard or a drop would bring
// them: pasted branch and graphic XML, HTML, RTF, text and pictures, and files
// dropped on a branch. Whatever is taken must undo, and the map must still
// save and load.
#include "../bench/CanvasBenchSupport.h"
#include "FuzzDocuments.h"
#include "FuzzSupport.h"
#include "canvas/TWGraphicView.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <cstddef>
#include <cstdint>

namespace {

using CanvasBench::Host;

const QString pasteTypes[] = {
    TWGraphicView::BranchPboardType, TWGraphicView::GraphicPboardType,  QStringLiteral("text/html"),
    QStringLiteral("text/rtf"),      QStringLiteral("text/plain"),      QStringLiteral("image/png"),
    QStringLiteral("image/tiff"),    QStringLiteral("application/pdf"),
};
// Dropped files are named by what they claim to be.
const char *const dropSuffixes[] = {"png", "jpg", "gif", "tiff", "pdf",  "eps",
                                    "vcf", "rtf", "txt", "tweb", "mmap", "opml"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *app = new QApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t how = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    document->setUndoManager(undo);
    std::shared_ptr<TWMap> map = TWMap::create(document.get());
    document->addMap(map, true);
    GeneratedMap::fill(*map, 5);
    Host host(document);
    {
        TWGraphicView view;
        view.setDocument(&host);
        view.resize(400, 300);

        undo->beginUndoGrouping();
        QMimeData mime;
        QTemporaryDir folder;
        if (how < 0x80) {
            mime.setData(pasteTypes[how % std::size(pasteTypes)], bytes);
            view.pasteFromPB(&mime, (how / std::size(pasteTypes)) % 2);
        } else {
            const QString file = QDir(folder.path())
                                     .filePath(QStringLiteral("dropped.") +
                                               dropSuffixes[how % std::size(dropSuffixes)]);
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                return 0;
            out.close();
            mime.setUrls({QUrl::fromLocalFile(file)});
            const Rect target = map->root()->mainGraphic()->bounds();
            const QPointF at =
                view.viewportRectFromMap(Rect(Point(target.midX(), target.midY()), Size()))
                    .topLeft();
            QDropEvent event(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(view.viewport(), &event);
        }
        undo->endUndoGrouping();
        if (undo->canUndo())
            undo->undo();
    }
    FuzzSupport::requireSavedDocumentLoads(document);
    return 0;
}
