#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "support/Image.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

namespace {

// A branch's state from its descendants' own derived states. Each branch is
// worked out once per call: asking every descendant afresh would take time
// exponential in the depth of nested check boxes.
int derivedCheckboxState(const TWMapBranch &branch, QHash<const TWMapBranch *, int> &known)
{
    if (const auto it = known.constFind(&branch); it != known.cend())
        return *it;
    QList<const TWMapBranch *> descendants;
    QList<const TWMapBranch *> pending;
    for (auto it = branch.children().crbegin(); it != branch.children().crend(); ++it)
        pending.append(it->get());
    while (!pending.isEmpty()) {
        const TWMapBranch *next = pending.takeLast();
        descendants.append(next);
        for (auto it = next->children().crbegin(); it != next->children().crend(); ++it)
            pending.append(it->get());
    }
    int result = branch.checkBoxState();
    if (descendants.size() > 1) {
        bool unchecked = false;
        bool checked = false;
        for (const TWMapBranch *descendant : std::as_const(descendants)) {
            if (!descendant->showCheckBox())
                continue;
            const int state = derivedCheckboxState(*descendant, known);
            unchecked = unchecked || state == 0;
            checked = checked || state == 1;
            if (state == -1 || (checked && unchecked)) {
                unchecked = checked = false;
                result = -1;
                break;
            }
        }
        if (unchecked)
            result = 0;
        else if (checked)
            result = 1;
    }
    known.insert(&branch, result);
    return result;
}

} // namespace

int TWMapBranch::calculatedCheckboxState() const
{
    const TWMap *m = map();
    if (!m || !m->automaticCheckBoxes())
        return checkBoxState();
    QHash<const TWMapBranch *, int> known;
    return derivedCheckboxState(*this, known);
}

// --- the picture inside the shape ---

namespace {

QString picturePath(const TWGraphic &picture, const QString &fileName)
{
    return QStringLiteral("Images/Graphic%1/%2").arg(picture.graphicNumber()).arg(fileName);
}

} // namespace

void TWMapBranch::moveLabelClearOfNewPicture()
{
    if (!m_mainGraphic || m_textRelativePosition == 1 || m_textRelativePosition == 3)
        return;
    if (m_mainGraphic->className() == QLatin1String("TWFlexiBranch"))
        return;
    setTextRelativePosition(3);
}

bool TWMapBranch::setEnclosedImageFromImage(const Image *image)
{
    if (!m_mainGraphic)
        return true;
    if (image)
        moveLabelClearOfNewPicture();
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
    if (image)
        moveLabelClearOfNewPicture();
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

void TWMapBranch::populateBranchWithDataFromString(const QString &record)
{
    const QStringList parts = record.split(u'|');
    NotificationCenter::defaultCenter().post(TWMapsDoc::IncrementLoadingNotification, nullptr,
                                             {{LoadingTextKey, parts.first()}});
    if (m_enclosedTextArea)
        m_enclosedTextArea->setString(parts.first());
    if (parts.size() > 1 && !parts.at(1).isEmpty()) {
        auto note = std::make_shared<TWAttachedText>(std::nullopt, undoManager());
        note->setText(std::make_shared<const AttributedString>(parts.at(1)));
        insertObjectInAttachedTextArrayAtIndex(note, 0);
    }
    for (qsizetype i = 2; i < parts.size(); ++i) {
        if (parts.at(i).isEmpty())
            continue;
        // The graphic made, rather than whichever is last: the attached
        // graphics are kept in drawing order.
        const auto text = std::dynamic_pointer_cast<TWTextArea>(
            publicCreateLinkedGraphicOfType(LinkedText, Size(), Point(), QVariant()));
        if (text)
            text->setString(parts.at(i));
    }
    makeNaturalSize();
}
