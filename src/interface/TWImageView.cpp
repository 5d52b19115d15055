#include "interface/TWImageView.h"

#include "platform/Alerts.h"

#include <QFile>
#include <QPainter>

TWImageView::TWImageView(QWidget *parent) : QWidget(parent) {}

QStringList TWImageView::imageFileTypes()
{
    return {"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp", "pdf", "eps"};
}

void TWImageView::setImage(const std::optional<Image> &image)
{
    m_image = image;
    update();
}

void TWImageView::bind(const QString &binding, BindingWriter writer)
{
    m_bindings.insert(binding, std::move(writer));
}

void TWImageView::writeBinding(const QString &binding, const QVariant &value)
{
    if (const auto it = m_bindings.constFind(binding); it != m_bindings.cend())
        (*it)(value);
}

void TWImageView::set()
{
    Alerts::OpenPanelOptions options;
    options.fileTypes = imageFileTypes();
    const QStringList paths = Alerts::current().runOpenPanel(options);
    if (paths.isEmpty())
        return;
    QFile file(paths.first());
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    std::optional<Image> image = data.isEmpty() ? std::nullopt : Image::initWithData(data);
    // Storing the bytes of something that is no picture would put an
    // unreadable picture into the document.
    if (!image) {
        qWarning() << "TWImageView: not a readable picture:" << paths.first();
        Alerts::current().beep();
        return;
    }
    setImage(image);
    writeBinding("value", QVariant::fromValue(*image));
    writeBinding("data", data);
}

void TWImageView::clear()
{
    setImage(std::nullopt);
    writeBinding("value", QVariant());
    writeBinding("data", QVariant());
}

void TWImageView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF bounds = rect().adjusted(1, 1, -1, -1);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(bounds);
    if (!m_image)
        return;
    const QImage pixels = m_image->toQImage();
    if (pixels.isNull())
        return;
    // Scaled down to fit, never up, and centred.
    QSizeF size = pixels.size();
    if (size.width() > bounds.width() || size.height() > bounds.height())
        size.scale(bounds.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(bounds.center());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, pixels);
}
