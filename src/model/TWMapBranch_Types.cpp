#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "support/Image.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <typeindex>
#include <typeinfo>

namespace {

struct ShapeClass
{
    int code;
    std::type_index type;
    const char *name;
};

// In the order the classes are compared.
const ShapeClass shapeClasses[] = {
    {1, typeid(TWLine), "TWLine"},     {2, typeid(TWRectangle), "TWRectangle"},
    {3, typeid(TWCircle), "TWCircle"}, {5, typeid(TWFlexiBranch), "TWFlexiBranch"},
    {6, typeid(TWCloud), "TWCloud"},   {7, typeid(TWCustomBranchShape), "TWCustomBranchShape"},
    {4, typeid(TWImage), "TWImage"},
};

} // namespace

// --- types ---

QString TWMapBranch::classForBranchType(int code)
{
    for (const ShapeClass &shape : shapeClasses) {
        if (shape.code == code)
            return QString::fromLatin1(shape.name);
    }
    qWarning().noquote() << QStringLiteral("Error: unknown branch type: %1").arg(code);
    return QStringLiteral("TWLine");
}

int TWMapBranch::branchType() const
{
    if (m_mainGraphic) {
        // The class itself, not a subclass of it.
        const std::type_index type = typeid(*m_mainGraphic);
        for (const ShapeClass &shape : shapeClasses) {
            if (shape.type == type)
                return shape.code;
        }
    }
    qWarning().noquote() << QStringLiteral("Error: unknown branch type: %1")
                                .arg(m_mainGraphic ? m_mainGraphic->className()
                                                   : QStringLiteral("nil"));
    return 1;
}

// --- check boxes ---

int TWMapBranch::calculatedCheckboxState() const
{
    const TWMap *m = map();
    if (!m || !m->automaticCheckBoxes())
        return checkBoxState();
    BranchList descendants;
    const_cast<TWMapBranch *>(this)->allDescendantsIntoArray(descendants, true);
    descendants.removeFirst(); // the branch itself
    if (descendants.size() <= 1)
        return checkBoxState();
    bool unchecked = false;
    bool checked = false;
    for (const std::shared_ptr<TWMapBranch> &descendant : std::as_const(descendants)) {
        if (!descendant->showCheckBox())
            continue;
        switch (descendant->calculatedCheckboxState()) {
        case -1:
            return -1;
        case 0:
            unchecked = true;
            break;
        case 1:
            checked = true;
            break;
        default:
            break;
        }
        if (checked && unchecked)
            return -1;
    }
    if (unchecked)
        return 0;
    if (checked)
        return 1;
    return checkBoxState();
}

// --- the picture inside the shape ---

namespace {

QString picturePath(const TWGraphic &picture, const QString &fileName)
{
    return QStringLiteral("Images/Graphic%1/%2").arg(picture.graphicNumber()).arg(fileName);
}

} // namespace

bool TWMapBranch::setEnclosedImageFromImage(const Image *image)
{
    if (!m_mainGraphic)
        return true;
    Rect shape = m_mainGraphic->bounds();
    const float oldX = shape.x();
    const float oldWidth = shape.width();
    const Rect pictureBounds = layoutServices().enclosedImageBoundsForNewImageOfSize(
        *this, image ? image->size() : Size(), shape);
    float dx = shape.width() - oldWidth;
    if (shape.x() != oldX)
        dx = -dx;

    if (image) {
        auto picture = TWGraphic::make<TWImage>(pictureBounds);
        TWMapsDoc *document = map() ? map()->document() : nullptr;
        auto store = [&](const QByteArray &data, const char *name) {
            const QString path = picturePath(*picture, QString::fromLatin1(name));
            if (document)
                document->setObjectInCachedData(data, path);
            picture->setImageFilename(path);
        };
        bool vector = false;
        for (const ImageRepresentation &rep : image->representations()) {
            if (const auto *pdf = std::get_if<PDFImageRep>(&rep)) {
                store(pdf->PDFRepresentation(), "ExtractedImage.pdf");
                vector = true;
            } else if (const auto *eps = std::get_if<EPSImageRep>(&rep)) {
                store(eps->EPSRepresentation(), "ExtractedImage.eps");
                vector = true;
            }
        }
        if (!vector)
            store(image->TIFFRepresentation(), "ExtractedImage.tiff");
        setEnclosedImage(picture);
        picture->setBranch(this);
    } else {
        setEnclosedImage(nullptr);
    }
    m_mainGraphic->setBounds(shape);

    // The subtree keeps its distance from the resized shape.
    BranchList children = m_children;
    std::stable_partition(
        children.begin(), children.end(),
        [](const std::shared_ptr<TWMapBranch> &c) { return c->hasSelectedGraphic(); });
    for (const std::shared_ptr<TWMapBranch> &child : std::as_const(children)) {
        child->moveBranchBy(dx, 0, true);
        child->layoutServices().invalidateBoundary(*child);
    }
    return true;
}

bool TWMapBranch::setEnclosedImageFromFilename(const std::optional<QString> &path)
{
    std::optional<Image> image;
    QByteArray bytes;
    if (path) {
        QFile file(*path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        image = Image::initWithData(bytes);
        if (!image) {
            Alerts::current().beep();
            qWarning().noquote()
                << QStringLiteral("Couldn't open image from location: %1").arg(*path);
            return false;
        }
    }
    if (!m_mainGraphic)
        return true;
    Rect shape = m_mainGraphic->bounds();
    const Rect pictureBounds = layoutServices().enclosedImageBoundsForNewImageOfSize(
        *this, image ? image->size() : Size(), shape);
    if (image) {
        auto picture = TWGraphic::make<TWImage>(pictureBounds);
        const QString packagePath = picturePath(*picture, QFileInfo(*path).fileName());
        if (TWMapsDoc *document = map() ? map()->document() : nullptr)
            document->setObjectInCachedData(bytes, packagePath);
        picture->setImageFilename(packagePath);
        setEnclosedImage(picture);
        picture->setBranch(this);
    } else {
        setEnclosedImage(nullptr);
    }
    m_mainGraphic->setBounds(shape);
    return true;
}

bool TWMapBranch::setEnclosedImageData(const QByteArray &data)
{
    const std::optional<Image> image = Image::initWithData(data);
    return setEnclosedImageFromImage(image ? &*image : nullptr);
}

std::optional<QByteArray> TWMapBranch::enclosedImageData() const
{
    const std::shared_ptr<TWGraphic> picture = enclosedImage();
    const TWMapsDoc *document = map() ? map()->document() : nullptr;
    if (!picture || !document || !picture->imageFilename())
        return std::nullopt;
    return document->objectForKeyInCachedData(*picture->imageFilename());
}
