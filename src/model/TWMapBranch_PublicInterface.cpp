// The user's operations on one branch: its type, picture, sound, label
// width and position, hyperlinks, check box, tracked changes and children.
// Attached graphics, adornments and the boundary are in the files beside.

#include "graphics/TWGraphic.h"
#include "graphics/TWImage.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapBranch_PublicInterfaceSupport.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "model/TWTrackedChange.h"
#include "platform/Alerts.h"
#include "support/Image.h"

#include <QAction>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

bool TWBranchOperations::checkIndex(int index, qsizetype count, const char *operation)
{
    if (index >= 0 && index < count)
        return true;
    qWarning().noquote() << QStringLiteral("%1: index %2 out of range (count %3)")
                                .arg(QString::fromLatin1(operation))
                                .arg(index)
                                .arg(count);
    Alerts::current().beep();
    return false;
}

QString TWBranchOperations::safeExtension(const QString &type)
{
    // The extension becomes part of a package path: nothing that could
    // climb out of its folder.
    QString result;
    for (const QChar c : type) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            result.append(c);
    }
    return result;
}

// --- type ---

void TWMapBranch::publicChangeToBranchType(int type)
{
    if (type == branchType())
        return;
    changeToBranchType(type);
    nameUndoAction("Change branch type");
    postBranch(BranchTypeChangedNotification);
}

void TWMapBranch::publicChangeToBranchTypeFromMenuItem(const QObject *menuItem)
{
    const auto *item = qobject_cast<const QAction *>(menuItem);
    if (!item)
        return;
    publicChangeToBranchType(item->data().toInt());
}

// --- picture inside the shape ---

void TWMapBranch::publicSetEnclosedImageFromData(const QByteArray &data, const QString &type,
                                                 Size size)
{
    if (!m_mainGraphic)
        return;
    if (size != Size())
        moveLabelClearOfNewPicture();
    Rect shape = m_mainGraphic->bounds();
    const Rect pictureBounds =
        layoutServices().enclosedImageBoundsForNewImageOfSize(*this, size, shape);
    if (size == Size()) {
        setEnclosedImage(nullptr);
    } else {
        auto picture = TWGraphic::make<TWImage>(pictureBounds);
        const QString path = QStringLiteral("Images/Graphic%1.%2")
                                 .arg(QString::number(picture->graphicNumber()),
                                      TWBranchOperations::safeExtension(type));
        if (TWMapsDoc *document = map() ? map()->document() : nullptr)
            document->setObjectInCachedData(data, path);
        picture->setImageFilename(path);
        setEnclosedImage(picture);
        picture->setBranch(this);
    }
    m_mainGraphic->setBounds(shape);
    if (size != Size())
        layoutServices().makeRoomForBranch(*this);
    nameUndoAction("Set branch image");
    postBranch(BranchImageChangedNotification);
}

void TWMapBranch::publicSetEnclosedImageFromFilename(const QString &path)
{
    if (!setEnclosedImageFromFilename(path))
        return;
    layoutServices().makeRoomForBranch(*this);
    nameUndoAction("Set branch image");
    postBranch(BranchImageChangedNotification);
}

void TWMapBranch::publicSetEnclosedImageFromImage(const Image *image)
{
    setEnclosedImageFromImage(image);
    if (image)
        layoutServices().makeRoomForBranch(*this);
    nameUndoAction("Set branch image");
    postBranch(BranchImageChangedNotification);
}

void TWMapBranch::publicSetEnclosedImageLayoutMode(int mode)
{
    if (mode == enclosedImageLayoutMode())
        return;
    setEnclosedImageLayoutMode(mode);
    nameUndoAction("Change branch image layout");
    postBranch(BranchImageLayoutChangedNotification);
}

// --- sound ---

void TWMapBranch::publicSetSoundFilename(const QString &path, int method)
{
    TWMapsDoc *document = map() ? map()->document() : nullptr;
    QString name = path;
    QByteArray data;
    if (method == 0) {
        name = QStringLiteral("Sounds/Branch%1/%2")
                   .arg(QString::number(m_branchNumber), QFileInfo(path).fileName());
        // Read before anything changes: a sound that cannot be read must not
        // cost the branch the one it has.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
        if (data.isEmpty() || QFileInfo(path).fileName().isEmpty()) {
            qWarning().noquote() << QStringLiteral("Couldn't read sound file: %1").arg(path);
            Alerts::current().beep();
            return;
        }
    }
    const std::optional<QString> oldName = soundFileName();
    if (soundFileReferenceMethod() == 0 && oldName && document)
        document->removeObjectForKeyInCachedData(*oldName);
    setSoundFileReferenceMethod(method);
    if (method == 0 && document)
        document->setObjectInCachedData(data, name);
    setSoundFileName(name);
    nameUndoAction("Set sound file");
    postBranch(BranchSoundFileChangedNotification);
}

// --- label ---

void TWMapBranch::publicContstrainToWidth(float width, bool turnOn)
{
    const float current = ownTextMaxWidth();
    const bool set = textMaxWidthSet();
    if (current == width && set == turnOn)
        return;
    if (set && !turnOn)
        setTextMaxWidthSet(false);
    if (current != width)
        setTextMaxWidth(width);
    if (turnOn != textMaxWidthSet())
        setTextMaxWidthSet(turnOn);
    if (turnOn)
        resizeForTextAreaConstrainedToWidth(width);
    nameUndoAction("Set Width Constraint");
    postBranch(ConstrainTextWidthNotification);
}

void TWMapBranch::publicSetTextRelativePosition(int position)
{
    if (position == m_textRelativePosition)
        return;
    setTextRelativePosition(position);
    if (m_mainGraphic) {
        const Rect shape = m_mainGraphic->bounds();
        updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(shape, shape);
    }
    nameUndoAction("Set branch text position");
}

// --- hyperlinks ---

void TWMapBranch::publicAddHyperlinkWithLinkType(int linkType, const std::optional<QString> &url,
                                                 const std::optional<QString> &arg1,
                                                 const std::optional<QString> &arg2,
                                                 const std::optional<Color> &color,
                                                 const std::optional<Image> &uncolorizedImage,
                                                 const std::optional<Image> &overlayImage,
                                                 int index)
{
    // The link keeps no picture: the type's icon stands in for a missing
    // one, and a link added that way keeps its colour.
    (void)uncolorizedImage;
    (void)overlayImage;
    publicInsertHyperlink(std::make_shared<TWHyperlink>(linkType, url, arg1, arg2, color), index);
}

void TWMapBranch::publicInsertHyperlink(const std::shared_ptr<TWHyperlink> &link, int index)
{
    if (!link || !TWBranchOperations::checkIndex(index, countOfHyperlinks() + 1, "Add Hyperlink"))
        return;
    insertObjectInHyperlinksAtIndex(link, index);
    nameUndoAction("Add Hyperlink");
    postBranch(AddHyperlinkNotification);
}

void TWMapBranch::publicRemoveHyperlinkAtIndex(int index)
{
    if (!TWBranchOperations::checkIndex(index, countOfHyperlinks(), "Remove Hyperlink"))
        return;
    removeObjectFromHyperlinksAtIndex(index);
    nameUndoAction("Remove Hyperlink");
    postBranch(RemoveHyperlinkNotification);
}

void TWMapBranch::publicUpdateHyperlinkAtIndex(
    int index, int linkType, const std::optional<QString> &url, const std::optional<QString> &arg1,
    const std::optional<QString> &arg2, const std::optional<Color> &color,
    const std::optional<Image> &uncolorizedImage, const std::optional<Image> &overlayImage)
{
    if (!TWBranchOperations::checkIndex(index, countOfHyperlinks(), "Update Hyperlink"))
        return;
    (void)overlayImage;
    // Without both a colour and its own picture the link is shown in the
    // type's plain icon, so it keeps no colour.
    const std::optional<Color> kept = color && uncolorizedImage ? color : std::nullopt;
    replaceObjectInHyperlinksAtIndex(
        index, std::make_shared<TWHyperlink>(linkType, url, arg1, arg2, kept));
    nameUndoAction("Update Hyperlink");
    postBranch(UpdateHyperlinkNotification);
}

// --- check box ---

void TWMapBranch::publicSetShowCheckbox(bool show)
{
    if (show == showCheckBox())
        return;
    setShowCheckBox(show);
    nameUndoAction(show ? "Add checkbox" : "Remove checkbox");
}

void TWMapBranch::publicSetCheckBoxState(int state)
{
    if (state == checkBoxState())
        return;
    setCheckBoxState(state);
    nameUndoAction("Set checkbox state");
}

// --- tracked changes ---

void TWMapBranch::publicAddToTrackedChanges(const std::shared_ptr<TWTrackedChange> &change,
                                            int index)
{
    if (!change ||
        !TWBranchOperations::checkIndex(index, countOfTrackedChanges() + 1, "Add tracked change"))
        return;
    insertObjectInTrackedChangesAtIndex(change, index);
    nameUndoAction("Add tracked change");
}

void TWMapBranch::publicRemoveFromTrackedChangesAtIndex(int index)
{
    if (!TWBranchOperations::checkIndex(index, countOfTrackedChanges(), "Remove tracked change"))
        return;
    removeObjectFromTrackedChangesAtIndex(index);
    nameUndoAction("Remove tracked change");
}

// --- children ---

void TWMapBranch::publicToggleHideChildren()
{
    if (m_children.isEmpty())
        return;
    setChildrenHidden(!childrenHidden());
    nameUndoAction("Show/Hide Children");
    postBranch(HideChildrenNotification);
}
