// Drops on the canvas: the palette's shapes, colours, pictures, files and
// addresses, and adornments that follow the pointer while they are dragged.
// While a drag lasts the canvas only answers the operation it would carry
// out, except for adornments, which move in the model as the pointer does.

#include "canvas/TWCanvasHost.h"
#include "canvas/TWDragTypes.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWMouseTrackers.h"
#include "canvas/TWResourceDrops.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWTextArea.h"
#include "interface/ImageExtensions.h"
#include "model/TWContactsProvider.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Random.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/Image.h"
#include "support/TWImageLoader.h"
#include "support/TWPreferences.h"

#include <QCursor>
#include <QDebug>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace {

enum class Kind {
    None,
    Color,
    BranchShape,
    AttachedShape,
    LinkLineTool,
    PaletteImage,
    Adornment,
    Contacts,
    Picture,
    Files,
    Addresses
};

// What the drag is taken as: the first supported type it holds.
struct DragType
{
    Kind kind = Kind::None;
    QString name;
    int code = 0;        // branch type or attached-graphic code
    int cornerMode = -1; // rectangles only
    Size size;           // attached shapes
};

struct PaletteShape
{
    const QString &name;
    Kind kind;
    int code;
    int cornerMode;
    Size size;
};

const QList<PaletteShape> &paletteShapes()
{
    using namespace TWDragTypes;
    static const QList<PaletteShape> shapes{
        {BranchLine, Kind::BranchShape, 1, -1, {}},
        {BranchRectangle, Kind::BranchShape, 2, 0, {}},
        {BranchRoundedRectangle, Kind::BranchShape, 2, 1, {}},
        {BranchCircle, Kind::BranchShape, 3, -1, {}},
        {BranchFlexi, Kind::BranchShape, 5, -1, {}},
        {GraphicAttachedText, Kind::AttachedShape, TWMapBranch::LinkedText, -1, Size(150, 16)},
        {GraphicRectangle, Kind::AttachedShape, TWMapBranch::LinkedRectangle, 0, Size(100, 100)},
        {GraphicRoundedRectangle, Kind::AttachedShape, TWMapBranch::LinkedRectangle, 1,
         Size(100, 100)},
        {GraphicOval, Kind::AttachedShape, TWMapBranch::LinkedOval, -1, Size(100, 100)},
        {GraphicImage, Kind::PaletteImage, 0, -1, {}},
        {GraphicLinkLine, Kind::LinkLineTool, 0, -1, {}},
    };
    return shapes;
}

QList<QUrl> localFiles(const QMimeData &data)
{
    QList<QUrl> files;
    for (const QUrl &url : data.urls()) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

bool holdsPicture(const QMimeData &data)
{
    for (const QString &type : TWDragTypes::imagePasteboardTypes()) {
        if (data.hasFormat(type))
            return true;
    }
    return false;
}

DragType availableType(const QMimeData *data)
{
    DragType t;
    if (!data)
        return t;
    if (data->hasColor()) {
        t.kind = Kind::Color;
        t.name = TWDragTypes::ColorValue;
        return t;
    }
    for (const PaletteShape &shape : paletteShapes()) {
        if (data->hasFormat(shape.name)) {
            t.kind = shape.kind;
            t.name = shape.name;
            t.code = shape.code;
            t.cornerMode = shape.cornerMode;
            t.size = shape.size;
            return t;
        }
    }
    if (data->hasFormat(TWDragTypes::Adornment)) {
        t.kind = Kind::Adornment;
        t.name = TWDragTypes::Adornment;
        return t;
    }
    // Address cards may bring the person's photo along: the people come first.
    if (pasteboardHoldsVCards(data)) {
        t.kind = Kind::Contacts;
        t.name = vCardPboardTypes().first();
        return t;
    }
    for (const QString &type : TWDragTypes::imagePasteboardTypes()) {
        if (data->hasFormat(type)) {
            t.kind = Kind::Picture;
            t.name = type;
            return t;
        }
    }
    if (data->hasUrls()) {
        t.kind = localFiles(*data).isEmpty() ? Kind::Addresses : Kind::Files;
        t.name = TWDragTypes::URIList;
    }
    return t;
}

enum class Operation { None, Copy, Link, Generic };

Qt::DropAction dropAction(Operation op)
{
    switch (op) {
    case Operation::Copy:
        return Qt::CopyAction;
    case Operation::Link:
        return Qt::LinkAction;
    case Operation::Generic:
        return Qt::MoveAction;
    case Operation::None:
        break;
    }
    return Qt::IgnoreAction;
}

// The action shown for the operation. A source that does not offer it
// would refuse the drop: it sees the one it proposed, while the drop
// itself still goes by the operation.
Qt::DropAction shownAction(Operation op, const QDropEvent &event)
{
    const Qt::DropAction action = dropAction(op);
    if (action == Qt::IgnoreAction || (event.possibleActions() & action))
        return action;
    return event.proposedAction();
}

bool isPictureExtension(const QString &extension)
{
    return TWImageLoader::isImageFileType(extension);
}

// A suffix fit for a package path: letters and digits only.
QString packageExtension(const QString &suffix, const Image &image)
{
    // The library's enciphered pictures are stored deciphered.
    if (!TWImageLoader::plainImageFileTypes().contains(suffix.toLower()) &&
        TWImageLoader::isImageFileType(suffix))
        return QString::fromLatin1(image.dataType());
    QString extension;
    for (const QChar c : suffix) {
        if (c.isLetterOrNumber())
            extension.append(c);
    }
    return extension.isEmpty() ? QString::fromLatin1(image.dataType()) : extension;
}

int indexOfRecord(const TWMapBranch &branch, const TWEnclosedGraphic *record)
{
    const auto &list = branch.otherEnclosedGraphics();
    for (int i = 0; i < int(list.size()); ++i) {
        if (list.at(i).get() == record)
            return i;
    }
    return -1;
}

bool isImageAdornment(const TWEnclosedGraphic &record)
{
    return dynamic_cast<const TWImage *>(record.graphic().get()) != nullptr;
}

} // namespace

namespace TWDragTypes {

QStringList imagePasteboardTypes()
{
    // Exactly what a document picture can be made from.
    return {
        QStringLiteral("application/pdf"), QStringLiteral("application/postscript"),
        QStringLiteral("image/tiff"),      QStringLiteral("image/png"),
        QStringLiteral("image/jpeg"),      QStringLiteral("image/gif"),
        QStringLiteral("image/bmp"),       QStringLiteral("application/x-qt-image"),
    };
}

QStringList supportedDragTypes()
{
    QStringList types{ColorValue};
    for (const PaletteShape &shape : paletteShapes())
        types.append(shape.name);
    types.append(Adornment);
    types.append(vCardPboardTypes());
    types.append(imagePasteboardTypes());
    types.append(URIList);
    return types;
}

} // namespace TWDragTypes

// The drop destination. It keeps no state of its own: everything is worked
// out afresh from each event.
class TWDropHandler
{
public:
    TWDropHandler(TWGraphicView &view, const QMimeData *data, QPointF position,
                  Qt::KeyboardModifiers modifiers, Qt::DropActions sourceActions)
        : view(view), data(data), position(position), sourceActions(sourceActions),
          control(modifiers & Qt::MetaModifier), shift(modifiers & Qt::ShiftModifier),
          type(availableType(data)), map(view.map())
    {
        p = view.mapPointFromViewport(position);
        if (map)
            g = map->graphicUnderPoint(p, nullptr);
        if (g && g->branch()) {
            TWMapBranch *b = g->branch();
            if (g == b->mainGraphic() || g == std::shared_ptr<TWGraphic>(b->enclosedTextArea()))
                B = b;
            if (!b->linkedGraphics().contains(g))
                target = g;
        } else {
            target = g;
        }
    }

    Operation operation();
    void moveAdornment();
    void leave();
    bool perform();
    void conclude();

private:
    UndoManager *undoManager() const
    {
        return view.document() ? view.document()->undoManager() : nullptr;
    }
    TWMapsDoc *mapsDoc() const { return view.mapsDoc(); }
    int selectedCount() const { return map ? map->countOfSelectedGraphics() : 0; }
    TWMapBranch *onlySelectedBranch() const;
    Operation pictureOperation();
    void adornmentsFromFiles();
    void followPointer(const std::shared_ptr<TWEnclosedGraphic> &e);
    void dropBranchShape();
    void dropAttachedShape();
    void dropColor();
    void dropAdornment();
    void dropFiles();
    void dropAddresses();
    void dropPasteboardPicture();
    enum class Result { Nothing, BranchPicture, AttachedImage, NewChild };
    Result pictureResult(TWMapBranch *&branch);
    void appendHyperlink(TWMapBranch &branch, const QString &address, bool local);
    void branchPicture(TWMapBranch &branch, Image image, const QString &path,
                       const QByteArray &bytes);
    void attachedImage(TWMapBranch &branch, const Image &image, const QString &path,
                       const QByteArray &bytes);
    void newChild(TWMapBranch &branch, Image image, const QString &path, const QByteArray &bytes);
    void storeFileBytes(TWMapBranch &branch, const QString &path, const QByteArray &bytes,
                        const Image &image);
    static void restoreCursor();

    TWGraphicView &view;
    const QMimeData *data;
    QPointF position;
    Qt::DropActions sourceActions;
    bool control, shift;
    DragType type;
    TWMap *map;
    Point p;
    std::shared_ptr<TWGraphic> g;
    TWMapBranch *B = nullptr;
    std::shared_ptr<TWGraphic> target;
};

TWMapBranch *TWDropHandler::onlySelectedBranch() const
{
    if (!map)
        return nullptr;
    const QList<TWMapBranch *> branches = map->selectedBranches();
    return branches.size() == 1 ? branches.first() : nullptr;
}

// --- the operation to show ---

Operation TWDropHandler::operation()
{
    if (type.kind == Kind::None)
        return Operation::None;
    if (view.draggingEnclosedGraphic())
        return Operation::Generic;
    switch (type.kind) {
    case Kind::BranchShape:
        return B ? Operation::Copy : Operation::None;
    case Kind::LinkLineTool:
        return g ? Operation::Copy : Operation::None;
    case Kind::AttachedShape:
    case Kind::PaletteImage:
        return B || g || onlySelectedBranch() ? Operation::Copy : Operation::None;
    case Kind::Addresses:
        return target ? Operation::Link : Operation::None;
    case Kind::Color:
        return target ? Operation::Generic : Operation::None;
    case Kind::Adornment:
        return target ? Operation::Copy : Operation::None;
    case Kind::Contacts:
        return g && g->branch() ? Operation::Copy : Operation::None;
    case Kind::Files: {
        if (view.editingTextArea())
            view.endEditingTextNotification();
        const QList<QUrl> files = localFiles(*data);
        if (files.size() == 1) {
            if (isPictureExtension(QFileInfo(files.first().toLocalFile()).suffix())) {
                if (!target)
                    return selectedCount() == 1 ? Operation::Link : Operation::None;
                return sourceActions == Qt::LinkAction || control ? Operation::Link
                                                                  : Operation::Copy;
            }
            if (target)
                return Operation::Link;
        }
        return pictureOperation();
    }
    default:
        return pictureOperation();
    }
}

Operation TWDropHandler::pictureOperation()
{
    if (!holdsPicture(*data))
        return Operation::None;
    if (view.editingTextArea())
        view.endEditingTextNotification();
    if (target)
        return control ? Operation::Link : Operation::Copy;
    return selectedCount() == 1 ? Operation::Link : Operation::None;
}

// --- adornments following the pointer ---

void TWDropHandler::moveAdornment()
{
    if (const std::shared_ptr<TWEnclosedGraphic> e = view.draggingEnclosedGraphic())
        followPointer(e);
    else if (type.kind == Kind::Adornment && g)
        adornmentsFromFiles();
}

void TWDropHandler::adornmentsFromFiles()
{
    TWMapBranch *branch = g->branch();
    TWMapsDoc *document = branch && branch->map() ? branch->map()->document() : nullptr;
    if (!branch)
        return;
    // The files, when the drag names them, keep a ";" inside a path whole.
    QStringList paths;
    for (const QUrl &url : localFiles(*data))
        paths.append(url.toLocalFile());
    if (paths.isEmpty())
        paths = QString::fromUtf8(data->data(TWDragTypes::Adornment)).split(QLatin1Char(';'));
    for (const QString &path : paths) {
        const std::optional<Image> picture = TWImageLoader::imageWithContentsOfFile(path);
        if (!picture)
            continue;
        const QByteArray bytes = picture->data();
        auto image = TWGraphic::make<TWImage>();
        if (branch->mainGraphic())
            view.invalidateGraphic(*branch->mainGraphic());
        image->setBounds(Rect(0, 0, 16, 16));
        image->setBranch(branch);
        const QFileInfo file(path);
        const QString packagePath =
            QStringLiteral("Images/Branch%1/Graphic%2/%3%4.%5")
                .arg(QString::number(branch->branchNumber()),
                     QString::number(image->graphicNumber()), file.completeBaseName(),
                     QString::number(Random::next()), packageExtension(file.suffix(), *picture));
        if (document)
            document->setObjectInCachedData(bytes, packagePath);
        image->setImageFilename(packagePath);
        auto record = std::make_shared<TWEnclosedGraphic>(path, path, image);
        branch->publicAddAdornment(record);
        view.setDraggingEnclosedGraphic(record);
        view.m_adornmentMadeByDrop = true;
    }
}

void TWDropHandler::followPointer(const std::shared_ptr<TWEnclosedGraphic> &e)
{
    TWMapBranch *o = e->graphic() ? e->graphic()->branch() : nullptr;
    if (!o)
        return;
    const bool image = isImageAdornment(*e);
    Size s = e->graphic()->bounds().size;
    if (image) {
        if (const std::shared_ptr<Image> picture = e->graphic()->cachedImageRep())
            s = picture->size();
    }
    // Copied: the moves below change the branch's list.
    const TWMapBranch::EnclosedGraphicList list = o->otherEnclosedGraphics();
    bool slotFound = false;
    for (int i = 0; i < int(list.size()); ++i) {
        const Rect r = list.at(i)->graphic() ? list.at(i)->graphic()->bounds() : Rect();
        const Rect slot(r.x() - 2, r.y(), s.width + 4, s.height);
        if (!slot.contains(p))
            continue;
        const int index = indexOfRecord(*o, e.get());
        // Over its own slot the adornment stays: no step for nothing.
        if (index != i) {
            if (index < 0) {
                o->publicAddAdornment(e);
            } else {
                o->publicRemoveAdornmentAtIndex(index);
                o->publicAddAdornment(e, i);
            }
            UndoManager::setActionName(
                undoManager(), TWLocalizedString(StringTable::DadoZiz,
                                                 QStringLiteral("Re-order Adornment Graphics")));
        }
        slotFound = true;
        break;
    }
    if ((!g || g->branch() != o) && image) {
        if (const int index = indexOfRecord(*o, e.get()); index >= 0)
            o->publicRemoveAdornmentAtIndex(index);
    }
    if (g && g->branch() && !slotFound && image) {
        TWMapBranch *h = g->branch();
        const int index = indexOfRecord(*o, e.get());
        // Already the last of the branch under the pointer: nothing to move.
        if (h == o && index >= 0 && index == o->countOfOtherEnclosedGraphics() - 1)
            return;
        if (index >= 0)
            o->publicRemoveAdornmentAtIndex(index);
        e->graphic()->setBranch(h);
        h->publicAddAdornment(e);
    }
}

void TWDropHandler::leave()
{
    const std::shared_ptr<TWEnclosedGraphic> e = view.draggingEnclosedGraphic();
    if (!e)
        return;
    TWMapBranch *o = e->graphic() ? e->graphic()->branch() : nullptr;
    if (o && isImageAdornment(*e)) {
        if (const int index = indexOfRecord(*o, e.get()); index >= 0)
            o->publicRemoveAdornmentAtIndex(index);
    }
    // An adornment the canvas drags out of a branch comes back when the
    // pointer returns; the canvas forgets it when its drag ends. One made
    // from dropped files belongs to a drag that may never come back, and is
    // made afresh if it does.
    if (view.m_adornmentMadeByDrop) {
        view.setDraggingEnclosedGraphic(nullptr);
        view.m_adornmentMadeByDrop = false;
    }
}

bool TWDropHandler::perform()
{
    const std::shared_ptr<TWEnclosedGraphic> e = view.draggingEnclosedGraphic();
    if (!data || !data->hasFormat(TWDragTypes::Adornment) || !e ||
        !dynamic_cast<const TWTextArea *>(e->graphic().get()))
        return true;
    if (g && g->branch() == e->graphic()->branch())
        return true;
    // A text adornment (the outline number) belongs to its own branch.
    view.setDraggingEnclosedGraphic(nullptr);
    view.m_adornmentMadeByDrop = false;
    return false;
}

// --- carrying out the drop ---

void TWDropHandler::conclude()
{
    switch (type.kind) {
    case Kind::None:
        return;
    case Kind::BranchShape:
        if (B) {
            dropBranchShape();
            return;
        }
        break;
    case Kind::AttachedShape:
    case Kind::LinkLineTool:
    case Kind::PaletteImage:
        dropAttachedShape();
        return;
    case Kind::Color:
        dropColor();
        return;
    case Kind::Adornment:
        dropAdornment();
        return;
    case Kind::Contacts:
        if (g && g->branch())
            allocateResourcesFromPasteboard(*g->branch(), data);
        return;
    case Kind::Files:
        dropFiles();
        return;
    case Kind::Addresses:
        dropAddresses();
        return;
    case Kind::Picture:
        break;
    }
    dropPasteboardPicture();
}

void TWDropHandler::restoreCursor()
{
    // The palette shows its hand while one of its shapes is dragged.
    const QCursor *cursor = QGuiApplication::overrideCursor();
    if (cursor &&
        (cursor->shape() == Qt::OpenHandCursor || cursor->shape() == Qt::ClosedHandCursor))
        QGuiApplication::restoreOverrideCursor();
}

void TWDropHandler::dropBranchShape()
{
    restoreCursor();
    const std::shared_ptr<TWMapBranch> c = B->addChildOfType(type.code);
    if (!c)
        return;
    if (type.cornerMode >= 0) {
        if (c->mainGraphic())
            c->mainGraphic()->setCornerMode(type.cornerMode);
        TWPreferences::setRectCornerMode(type.cornerMode);
    }
    if (TWMapsDoc *document = map->document())
        document->setGraphicClassIdentifier(type.code);
    if (const std::shared_ptr<TWTextArea> &label = c->enclosedTextArea()) {
        label->tryToSelect();
        label->setIsEditing(true);
    }
}

void TWDropHandler::dropAttachedShape()
{
    restoreCursor();
    TWMapBranch *owner = B;
    if (!owner && g)
        owner = g->branch();
    if (!owner)
        owner = onlySelectedBranch();
    if (!owner)
        return;
    if (type.kind == Kind::LinkLineTool) {
        const std::shared_ptr<TWGraphic> start = TWGraphicView::graphicForLinkingToFromGraphic(g);
        if (!start || view.isTracking())
            return;
        view.setFocus();
        view.beginTracking(std::make_unique<TWLinkLineTracker>(start), position);
        return;
    }
    if (type.kind == Kind::PaletteImage) {
        qWarning().noquote()
            << QStringLiteral("Drag and drop of %1 is not yet supported").arg(type.name);
        return;
    }
    const std::shared_ptr<TWGraphic> made = owner->publicCreateLinkedGraphicOfType(
        type.code, type.size, Point(p.x - type.size.width / 2, p.y - type.size.height / 2),
        QVariant());
    if (!made)
        return;
    if (type.cornerMode >= 0) {
        made->setCornerMode(type.cornerMode);
        TWPreferences::setRectCornerMode(type.cornerMode);
    }
    if (TWMapsDoc *document = mapsDoc())
        document->setAttachedGraphicClassIdentifier(type.code);
    map->removeAllSelectedGraphics();
    made->tryToSelect();
}

void TWDropHandler::dropColor()
{
    if (!g || !g->branch())
        return;
    const Color color =
        Color::fromQColor(qvariant_cast<QColor>(data->colorData())).colorWithAlphaComponent(1.0);
    TWMapBranch *b = g->branch();
    const std::shared_ptr<TWGraphic> receiver =
        b->linkedGraphics().contains(g) ? g : b->mainGraphic();
    if (!receiver)
        return;
    if (receiver->canDrawFill()) {
        receiver->publicSetInheritsFill(false);
        receiver->publicSetDrawsFill(true);
        receiver->publicSetFillColor(color);
    } else if (receiver->canDrawStroke()) {
        receiver->publicSetInheritsStroke(false);
        receiver->publicSetDrawsStroke(true);
        receiver->publicSetStrokeColor(color);
    }
}

void TWDropHandler::dropAdornment()
{
    if (!view.draggingEnclosedGraphic())
        return;
    // The adornment stays where the pointer's moves left it.
    view.setDraggingEnclosedGraphic(nullptr);
    view.m_adornmentMadeByDrop = false;
    if (g)
        return;
    const QPoint global = view.viewport()->mapToGlobal(position.toPoint());
    QTimer::singleShot(0, &view, [view = &view, global] { view->runPoofAtLocation(global); });
}

void TWDropHandler::appendHyperlink(TWMapBranch &branch, const QString &address, bool local)
{
    const bool mapDocument = QFileInfo(local ? address : QUrl(address).path())
                                 .suffix()
                                 .compare(QLatin1String("tweb"), Qt::CaseInsensitive) == 0;
    int linkType = local ? TWHyperlink::LocalFile : TWHyperlink::URL;
    if (mapDocument)
        linkType = local ? TWHyperlink::ThinkwebFile : TWHyperlink::ThinkwebURL;
    auto link = std::make_shared<TWHyperlink>(linkType);
    link->setValueForKey(address, QStringLiteral("linkURL"));
    branch.insertObjectInHyperlinksAtIndex(link, branch.countOfHyperlinks());
}

TWDropHandler::Result TWDropHandler::pictureResult(TWMapBranch *&branch)
{
    const Operation op = operation();
    const std::shared_ptr<TWGraphic> h = map ? map->graphicUnderPoint(p, nullptr) : nullptr;
    branch = nullptr;
    if (h)
        branch = h->branch();
    else if (selectedCount() == 1)
        branch = map->objectInSelectedGraphicsAtIndex(0)->branch();
    Result result = Result::Nothing;
    if (branch) {
        if (op == Operation::Copy)
            result = h ? Result::BranchPicture : Result::AttachedImage;
        else if (op == Operation::Link)
            result = Result::AttachedImage;
        else if (op == Operation::Generic)
            result = Result::NewChild;
    }
    if (result == Result::Nothing)
        qWarning().noquote() << QStringLiteral("Error in drop operation.");
    return result;
}

void TWDropHandler::dropFiles()
{
    const QList<QUrl> files = localFiles(*data);
    if (files.size() != 1)
        return;
    const QString path = files.first().toLocalFile();
    if (!isPictureExtension(QFileInfo(path).suffix())) {
        if (g && g->branch())
            appendHyperlink(*g->branch(), path, true);
        return;
    }
    TWMapBranch *branch = nullptr;
    const Result result = pictureResult(branch);
    if (result == Result::Nothing)
        return;
    const std::optional<Image> image = TWImageLoader::imageWithContentsOfFile(path);
    if (!image)
        return;
    const QByteArray bytes = image->data();
    if (result == Result::BranchPicture)
        branchPicture(*branch, *image, path, bytes);
    else if (result == Result::AttachedImage)
        attachedImage(*branch, *image, path, bytes);
    else
        newChild(*branch, *image, path, bytes);
}

void TWDropHandler::dropAddresses()
{
    if (!g)
        return;
    if (TWMapBranch *b = g->branch()) {
        for (const QUrl &url : data->urls()) {
            const QString address = url.toString();
            if (!address.isEmpty())
                appendHyperlink(*b, address, false);
        }
    }
    dropPasteboardPicture();
}

void TWDropHandler::dropPasteboardPicture()
{
    if (!holdsPicture(*data))
        return;
    TWMapBranch *branch = nullptr;
    const Result result = pictureResult(branch);
    const std::optional<QByteArray> bytes = TWGraphicView::pictureData(*data);
    const std::optional<Image> image = bytes ? Image::initWithData(*bytes) : std::nullopt;
    if (!image || result == Result::Nothing)
        return;
    if (result == Result::BranchPicture) {
        Image scaled = *image;
        ImageExtensions::scaleForEnclosedGraphic(scaled, shift);
        branch->publicSetEnclosedImageFromImage(&scaled);
    } else if (result == Result::AttachedImage) {
        attachedImage(*branch, *image, QString(), QByteArray());
    } else {
        newChild(*branch, *image, QString(), QByteArray());
    }
}

// The picture the branch shows keeps the file's own bytes, not the data
// made from the decoded picture.
void TWDropHandler::storeFileBytes(TWMapBranch &branch, const QString &path,
                                   const QByteArray &bytes, const Image &image)
{
    const std::shared_ptr<TWGraphic> enclosed = branch.enclosedImage();
    TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr;
    if (!enclosed || !document)
        return;
    if (const std::optional<QString> old = enclosed->imageFilename())
        document->removeObjectForKeyInCachedData(*old);
    const QString packagePath =
        QStringLiteral("Images/Branch%1/%2.%3")
            .arg(QString::number(branch.branchNumber()), QString::number(Random::next()),
                 packageExtension(QFileInfo(path).suffix(), image));
    document->setObjectInCachedData(bytes, packagePath);
    enclosed->setImageFilename(packagePath);
}

void TWDropHandler::branchPicture(TWMapBranch &branch, Image image, const QString &path,
                                  const QByteArray &bytes)
{
    ImageExtensions::scaleForEnclosedGraphic(image, shift);
    branch.publicSetEnclosedImageFromImage(&image);
    storeFileBytes(branch, path, bytes, image);
    view.postPrintCanvasUpdate();
}

void TWDropHandler::attachedImage(TWMapBranch &branch, const Image &image, const QString &path,
                                  const QByteArray &bytes)
{
    auto made = TWGraphic::make<TWImage>();
    QString packagePath;
    QByteArray stored = bytes;
    if (!path.isEmpty()) {
        packagePath =
            QStringLiteral("Images/Branch%1/Graphic%2/%3.%4")
                .arg(QString::number(branch.branchNumber()), QString::number(made->graphicNumber()),
                     QString::number(Random::next()),
                     packageExtension(QFileInfo(path).suffix(), image));
    } else {
        // Vector pictures keep their own form; anything else is stored as TIFF.
        const QByteArray kind = image.dataType();
        const bool vector = kind == "pdf" || kind == "eps";
        stored = vector ? image.data() : image.TIFFRepresentation();
        packagePath =
            QStringLiteral("Images/Branch%1/Graphic%2/ExtractedImage.%3")
                .arg(QString::number(branch.branchNumber()), QString::number(made->graphicNumber()),
                     vector ? QString::fromLatin1(kind) : QStringLiteral("tiff"));
    }
    if (TWMapsDoc *document = branch.map() ? branch.map()->document() : nullptr)
        document->setObjectInCachedData(stored, packagePath);
    const Size size = ImageExtensions::dropSize(image.size(), shift);
    made->setBounds(Rect(p.x - size.width / 2, p.y - size.height / 2, size.width, size.height));
    made->setDrawsFill(false);
    made->setDrawsStroke(false);
    made->setStrokeWidth(1.0f);
    made->setInheritsFill(true);
    made->setInheritsStroke(true);
    made->setInternalOrdering(branch.getMinimumAttachedGraphicNumber() - 1);
    made->setBranch(&branch);
    made->setImageFilename(packagePath);
    branch.publicAddLinkedGraphic(made);
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(made, 0);
    view.postPrintCanvasUpdate();
}

void TWDropHandler::newChild(TWMapBranch &branch, Image image, const QString &path,
                             const QByteArray &bytes)
{
    image.setScalesWhenResized(true);
    image.setSize(ImageExtensions::dropSize(image.size(), false));
    map->removeAllSelectedGraphics();
    if (branch.mainGraphic())
        map->insertObjectInSelectedGraphicsAtIndex(branch.mainGraphic(), 0);
    map->publicCreateChildren();
    const std::shared_ptr<TWGraphic> first =
        map->countOfSelectedGraphics() > 0 ? map->objectInSelectedGraphicsAtIndex(0) : nullptr;
    TWMapBranch *c = first ? first->branch() : nullptr;
    if (!c || c == &branch || !c->mainGraphic())
        return;
    const std::shared_ptr<TWGraphic> m = c->mainGraphic();
    c->publicSetEnclosedImageFromImage(&image);
    if (!path.isEmpty())
        storeFileBytes(*c, path, bytes, image);
    const Rect shape = m->bounds();
    m->publicMoveBy(
        Point(p.x - shape.x() - shape.width() / 2, p.y - shape.y() - shape.height() / 2), true);
}

// --- the canvas's drag events ---

void TWGraphicView::dragEnterEvent(QDragEnterEvent *event)
{
    TWDropHandler drop(*this, event->mimeData(), event->position(), event->modifiers(),
                       event->possibleActions());
    if (availableType(event->mimeData()).kind == Kind::None) {
        event->ignore();
        return;
    }
    // Taken even where nothing can be dropped, so that the moves that
    // follow can answer for themselves.
    event->setDropAction(shownAction(drop.operation(), *event));
    event->accept();
}

void TWGraphicView::dragMoveEvent(QDragMoveEvent *event)
{
    TWDropHandler drop(*this, event->mimeData(), event->position(), event->modifiers(),
                       event->possibleActions());
    drop.moveAdornment();
    const Qt::DropAction action = shownAction(drop.operation(), *event);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void TWGraphicView::dragLeaveEvent(QDragLeaveEvent *event)
{
    TWDropHandler(*this, nullptr, QPointF(), Qt::NoModifier, Qt::IgnoreAction).leave();
    event->accept();
}

void TWGraphicView::dropEvent(QDropEvent *event)
{
    TWDropHandler drop(*this, event->mimeData(), event->position(), event->modifiers(),
                       event->possibleActions());
    if (!drop.perform()) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = shownAction(drop.operation(), *event);
    event->setDropAction(action == Qt::IgnoreAction ? event->proposedAction() : action);
    event->accept();
    drop.conclude();
    // Whatever the drop was, no later drag may be taken for this adornment.
    setDraggingEnclosedGraphic(nullptr);
    m_adornmentMadeByDrop = false;
}
