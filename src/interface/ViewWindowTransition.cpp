#include "interface/ViewWindowTransition.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTimer>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace Transition {

namespace {

CompositionViewFactory &compositionViewFactory()
{
    static CompositionViewFactory factory;
    return factory;
}

int milliseconds(double seconds)
{
    return seconds > 0 ? int(std::min(std::lround(seconds * 1000.0), 24L * 3600 * 1000)) : 0;
}

QImage shownPicture(const QVariant &value)
{
    return value.canConvert<Image>() ? value.value<Image>().toQImage() : QImage();
}

} // namespace

// --- the composition player ---

CompositionView::CompositionView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

CompositionView::~CompositionView() = default;

bool CompositionView::loadCompositionFromFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    m_path = path;
    return true;
}

void CompositionView::setEraseColor(const QColor &color)
{
    m_eraseColor = color;
}

bool CompositionView::setValueForInputKey(const QVariant &value, const QString &key)
{
    m_inputs.insert(key, value);
    return true;
}

bool CompositionView::startRendering()
{
    m_start = shownPicture(m_inputs.value(QStringLiteral("Image_Start")));
    m_end = shownPicture(m_inputs.value(QStringLiteral("Image_End")));
    // Played backwards from the end picture to the start one, a dissolve
    // looks the same: it is played forwards.
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(
        milliseconds(m_inputs.value(QStringLiteral("Transition_Time")).toDouble()));
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_time = value.toReal();
        update();
    });
    m_animation->start();
    return true;
}

void CompositionView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), m_eraseColor);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!m_start.isNull()) {
        painter.setOpacity(1.0 - m_time);
        painter.drawImage(rect(), m_start);
    }
    if (!m_end.isNull()) {
        painter.setOpacity(m_time);
        painter.drawImage(rect(), m_end);
    }
}

void setCompositionViewFactory(CompositionViewFactory factory)
{
    compositionViewFactory() = std::move(factory);
}

// --- views ---

std::optional<Image> pdfImage(QWidget &view)
{
    const QSize size = view.size();
    if (size.isEmpty())
        return std::nullopt;
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QPainter painter(&writer);
        view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    std::optional<Image> image = Image::initWithData(pdf);
    if (!image)
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (view.grab().toImage().save(&buffer, "PNG"))
        if (std::optional<BitmapImageRep> bitmap = BitmapImageRep::imageRepWithData(png))
            image->addRepresentation(*bitmap);
    return image;
}

void replaceSubview(QWidget &receiver, QWidget *oldView, QWidget *newView,
                    const QString &compositionPath, bool reverse, float duration)
{
    if (!newView)
        return;
    const QRect frame = oldView ? oldView->geometry() : QRect(QPoint(), receiver.size());
    newView->setGeometry(frame);
    // Shift held slows the transition down, to watch it.
    double seconds = duration;
    if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)
        seconds *= 8.0;

    const CompositionViewFactory &factory = compositionViewFactory();
    CompositionView *player = factory ? factory(&receiver) : new CompositionView(&receiver);
    player->setGeometry(frame);
    if (!player->loadCompositionFromFile(compositionPath))
        qWarning("Cannot load the transition composition %s", qUtf8Printable(compositionPath));
    player->setEraseColor(Qt::transparent);
    if (oldView)
        if (const std::optional<Image> start = pdfImage(*oldView))
            player->setValueForInputKey(QVariant::fromValue(*start), QStringLiteral("Image_Start"));
    if (const std::optional<Image> end = pdfImage(*newView))
        player->setValueForInputKey(QVariant::fromValue(*end), QStringLiteral("Image_End"));
    player->setValueForInputKey(seconds, QStringLiteral("Transition_Time"));
    player->setValueForInputKey(reverse, QStringLiteral("Reverse"));

    if (oldView) {
        oldView->hide();
        oldView->setParent(nullptr);
    }
    player->show();
    player->raise();
    const QPointer<QWidget> incoming(newView);
    const QPointer<QWidget> into(&receiver);
    const QPointer<CompositionView> playing(player);
    QTimer::singleShot(milliseconds(seconds), &receiver, [incoming, into, frame] {
        if (!incoming || !into)
            return;
        incoming->setParent(into);
        incoming->setGeometry(frame);
        incoming->show();
    });
    player->startRendering();
    QTimer::singleShot(milliseconds(seconds), player, [playing] {
        if (playing)
            playing->deleteLater();
    });
}

// --- windows ---

void performTransition(QWidget &window, int, int, float, const std::function<void()> &midAction)
{
    // No transition of the window server here: the change is made and shown
    // at once, without the wait a played transition would take.
    if (midAction)
        midAction();
    if (window.isVisible())
        window.repaint();
}

void setContentView(QMainWindow &window, QWidget *view, int transition, int option, float duration)
{
    performTransition(window, transition, option, duration,
                      [&window, view] { setContentViewAndResize(window, view); });
}

void showWithTransition(QWidget &window, int transition, int option, float duration)
{
    const QVariantMap settings{
        {QStringLiteral("isOpaque"), !window.testAttribute(Qt::WA_TranslucentBackground)},
        {QStringLiteral("alphaValue"), window.windowOpacity()}};
    window.setAttribute(Qt::WA_TranslucentBackground, true);
    window.setWindowOpacity(0.0);
    window.show();
    window.raise();
    window.activateWindow();
    performTransition(window, transition, option, duration,
                      [&window, settings] { restoreOpacitySettings(window, settings); });
}

void closeWithTransition(QWidget &window, int transition, int option, float duration)
{
    performTransition(window, transition, option, duration, [&window] { window.close(); });
}

void restoreOpacitySettings(QWidget &window, const QVariantMap &settings)
{
    window.setWindowOpacity(settings.value(QStringLiteral("alphaValue")).toDouble());
    window.setAttribute(Qt::WA_TranslucentBackground,
                        !settings.value(QStringLiteral("isOpaque")).toBool());
}

void setContentViewAndResize(QMainWindow &window, QWidget *view)
{
    if (!view)
        return;
    const QRect frame = window.geometry();
    const QWidget *old = window.centralWidget();
    // What the window adds around its content: bars, docks, margins.
    const QSize decoration = old ? frame.size() - old->size() : QSize();
    const QSize content = view->size();
    window.setCentralWidget(view);
    window.setGeometry(frame.x(), frame.y(), content.width() + decoration.width(),
                       content.height() + decoration.height());
    if (window.isVisible())
        window.repaint();
}

} // namespace Transition
