#include "interface/TWTransitionView.h"

#include <QDebug>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <cstring>

void ClearBitmapImageRep(QImage *image)
{
    if (!image || image->isNull())
        return;
    std::memset(image->bits(), 0, size_t(image->sizeInBytes()));
}

TWViewAnimation::TWViewAnimation(QWidget *delegate, int durationMs, QObject *parent)
    : QVariantAnimation(parent), m_delegate(delegate)
{
    setStartValue(0.0);
    setEndValue(1.0);
    setDuration(durationMs);
    setEasingCurve(QEasingCurve::InOutQuad);
}

void TWViewAnimation::updateCurrentValue(const QVariant &)
{
    if (m_delegate && m_delegate->isVisible())
        m_delegate->repaint();
}

// Paints the running transition above everything else in the view.
class TWTransitionView::Overlay : public QWidget
{
public:
    explicit Overlay(TWTransitionView *owner) : QWidget(owner), m_owner(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_owner->paintOverlay(painter);
    }

private:
    TWTransitionView *m_owner;
};

namespace {

// A grey-scale image scaled to `size`, as one byte per pixel.
QImage scaledMask(const QImage &mask, QSize size)
{
    return mask.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
}

// The pixels of `final` where the mask lies below the threshold t, the
// pixels of `initial` elsewhere.
QImage thresholded(const QImage &initial, const QImage &final, const QImage &mask, qreal t)
{
    const QImage a = initial.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = final.convertToFormat(QImage::Format_ARGB32_Premultiplied).scaled(a.size());
    const QImage m = scaledMask(mask, a.size());
    QImage out = a;
    const int threshold = int(std::lround(t * 256));
    for (int y = 0; y < out.height(); ++y) {
        auto *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
        const auto *src = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        const uchar *level = m.constScanLine(y);
        for (int x = 0; x < out.width(); ++x)
            if (level[x] < threshold)
                dst[x] = src[x];
    }
    return out;
}

// Diagonal bands that wave: the mask of the "mod" transition.
const QImage &modMask()
{
    static const QImage mask = [] {
        QImage image(256, 256, QImage::Format_Grayscale8);
        for (int y = 0; y < 256; ++y) {
            uchar *line = image.scanLine(y);
            for (int x = 0; x < 256; ++x) {
                const double band = std::fmod((x + y) / 64.0 + 0.35 * std::sin(y / 20.0), 1.0);
                line[x] = uchar(std::clamp(band * 255.0, 0.0, 255.0));
            }
        }
        return image;
    }();
    return mask;
}

void drawWithOpacity(QPainter &p, const QRectF &target, const QImage &image, qreal opacity)
{
    p.save();
    p.setOpacity(opacity);
    p.drawImage(target, image);
    p.restore();
}

// `final` shown through a horizontal soft edge that has reached x = edge.
void drawSwiped(QPainter &p, const QRectF &target, const QImage &final, qreal edge, qreal soft)
{
    QImage revealed = final.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter mp(&revealed);
        mp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        const qreal scale = revealed.width() / std::max<qreal>(target.width(), 1);
        QLinearGradient g((edge - soft) * scale, 0, edge * scale, 0);
        g.setColorAt(0, QColor(0, 0, 0, 255));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        mp.fillRect(revealed.rect(), g);
    }
    p.drawImage(target, revealed);
}

} // namespace

TWTransitionView::TWTransitionView(QWidget *parent) : QWidget(parent), m_overlay(new Overlay(this))
{}

TWTransitionView::~TWTransitionView()
{
    if (m_animation)
        m_animation->stop();
}

TWTransitionView::Style TWTransitionView::transitionStyleOfType(int type)
{
    return type >= CopyMachine && type <= Swipe ? Style(type) : Ripple;
}

const QImage &TWTransitionView::inputMaskImage()
{
    static const QImage mask = [] {
        // Smoothed noise, so the content falls apart in flakes rather than pixels.
        QImage noise(64, 64, QImage::Format_Grayscale8);
        QRandomGenerator random(0x7457);
        for (int y = 0; y < noise.height(); ++y) {
            uchar *line = noise.scanLine(y);
            for (int x = 0; x < noise.width(); ++x)
                line[x] = uchar(random.bounded(256));
        }
        return noise.scaled(256, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }();
    return mask;
}

const QImage &TWTransitionView::inputShadingImage()
{
    static const QImage shading = [] {
        QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        QRadialGradient shine(QPointF(48, 40), 80);
        shine.setColorAt(0, QColor(255, 255, 255, 200));
        shine.setColorAt(0.5, QColor(255, 255, 255, 60));
        shine.setColorAt(1, QColor(0, 0, 0, 80));
        p.fillRect(image.rect(), shine);
        return image;
    }();
    return shading;
}

void TWTransitionView::drawTransitionFrame(QPainter &p, Style style, const QRectF &target,
                                           const QImage &initial, const QImage &final, qreal t)
{
    if (!(t > 0)) {
        p.drawImage(target, initial);
        return;
    }
    if (t >= 1) {
        p.drawImage(target, final);
        return;
    }
    const qreal w = target.width(), h = target.height();
    p.save();
    p.setClipRect(target, Qt::IntersectClip);
    switch (style) {
    case CopyMachine: {
        // A bar of light sweeps across and leaves the new content behind it.
        const qreal x = target.x() + t * w;
        p.drawImage(target, initial);
        p.save();
        p.setClipRect(QRectF(target.x(), target.y(), x - target.x(), h), Qt::IntersectClip);
        p.drawImage(target, final);
        p.restore();
        const qreal bar = std::max<qreal>(8, w / 12);
        QLinearGradient light(x - bar, 0, x + bar / 3, 0);
        light.setColorAt(0, QColor(255, 255, 255, 0));
        light.setColorAt(0.75, QColor(230, 245, 255, 230));
        light.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(x - bar, target.y(), bar * 4 / 3, h), light);
        break;
    }
    case DisintegrateWithMask:
        p.drawImage(target, thresholded(initial, final, inputMaskImage(), t));
        break;
    case Dissolve:
        p.drawImage(target, initial);
        drawWithOpacity(p, target, final, t);
        break;
    case Flash: {
        p.drawImage(target, initial);
        drawWithOpacity(p, target, final, t);
        // White light from the centre, brightest half way.
        QRadialGradient flash(target.center(), std::hypot(w, h) / 2);
        const int alpha = int(230 * std::sin(M_PI * t));
        flash.setColorAt(0, QColor(255, 255, 255, alpha));
        flash.setColorAt(1, QColor(255, 255, 255, alpha / 3));
        p.fillRect(target, flash);
        break;
    }
    case Mod:
        p.drawImage(target, thresholded(initial, final, modMask(), t));
        break;
    case PageCurl: {
        // The page folds along a line that runs across the diagonal, from the
        // bottom-right corner to the top-left one; its back shows the old
        // content mirrored and shaded.
        const QPointF n(M_SQRT1_2, M_SQRT1_2);
        const qreal span = (w + h) * M_SQRT1_2;
        const qreal origin = QPointF::dotProduct(target.topLeft(), n);
        const qreal s = origin + span * (1 - t);
        const auto stripe = [&](qreal from, qreal to) {
            // The part of the plane where from < p.n < to.
            QPainterPath path;
            const QPointF along(-n.y(), n.x());
            const qreal reach = span * 2;
            const QPointF a = n * from, b = n * to;
            path.moveTo(a - along * reach);
            path.lineTo(a + along * reach);
            path.lineTo(b + along * reach);
            path.lineTo(b - along * reach);
            path.closeSubpath();
            return path;
        };
        p.drawImage(target, final);
        p.save();
        p.setClipPath(stripe(origin - span, s), Qt::IntersectClip);
        p.drawImage(target, initial);
        p.restore();
        const qreal flap = std::min(span * t, span * 0.25);
        p.save();
        p.setClipPath(stripe(s - flap, s), Qt::IntersectClip);
        // Reflection across the fold line p.n = s.
        const QTransform mirror(1 - 2 * n.x() * n.x(), -2 * n.x() * n.y(), -2 * n.x() * n.y(),
                                1 - 2 * n.y() * n.y(), 2 * s * n.x(), 2 * s * n.y());
        p.setTransform(mirror, true);
        p.drawImage(target, initial);
        p.setOpacity(0.6);
        p.drawImage(target, inputShadingImage());
        p.restore();
        break;
    }
    case Ripple: {
        p.drawImage(target, initial);
        drawWithOpacity(p, target, final, t);
        // A ring of light runs outwards from the centre.
        const qreal radius = t * std::hypot(w, h) / 2;
        const qreal ring = std::max<qreal>(6, std::min(w, h) / 10);
        QRadialGradient wave(target.center(), radius + ring);
        const qreal inner = std::max<qreal>(0, (radius - ring) / (radius + ring));
        wave.setColorAt(0, Qt::transparent);
        wave.setColorAt(inner, Qt::transparent);
        wave.setColorAt((inner + 1) / 2, QColor(255, 255, 255, 110));
        wave.setColorAt(1, Qt::transparent);
        p.fillRect(target, wave);
        p.setOpacity(0.25 * std::sin(M_PI * t));
        p.drawImage(target, inputShadingImage());
        break;
    }
    case Swipe: {
        p.drawImage(target, initial);
        const qreal soft = std::max<qreal>(4, w / 8);
        const qreal edge = t * (w + soft);
        drawSwiped(p, target, final, edge, soft);
        break;
    }
    }
    p.restore();
}

QImage TWTransitionView::snapshot(QWidget *widget, const QRect &rect) const
{
    const qreal dpr = devicePixelRatioF();
    QImage image(rect.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    ClearBitmapImageRep(&image);
    widget->render(&image, QPoint(), QRegion(rect));
    return image;
}

void TWTransitionView::replaceSubview(QWidget *oldView, QWidget *newView, int style, bool reverse,
                                      float duration)
{
    finishTransition();
    if (!newView)
        return;
    m_reverse = reverse;
    QRect bounds = newView->rect();
    QRect frames = newView->geometry();
    if (oldView) {
        bounds = bounds.united(oldView->rect());
        frames = frames.united(oldView->geometry());
    }
    const QImage oldImage = oldView ? snapshot(oldView, bounds) : QImage();
    if (oldView) {
        oldView->hide();
        oldView->setParent(nullptr);
    }
    if (newView->parentWidget() != this)
        newView->setParent(this);
    newView->hide();
    const QImage newImage = snapshot(newView, bounds);
    m_incomingView = newView;
    QImage before = oldImage.isNull() ? QImage(newImage.size(), newImage.format()) : oldImage;
    if (oldImage.isNull()) {
        before.setDevicePixelRatio(newImage.devicePixelRatio());
        ClearBitmapImageRep(&before);
    }
    if (reverse)
        startAnimation(transitionStyleOfType(style), frames, newImage, before, duration);
    else
        startAnimation(transitionStyleOfType(style), frames, before, newImage, duration);
}

void TWTransitionView::prepareForTransition(int)
{
    finishTransition();
    m_imageRect = visibleRegion().boundingRect();
    if (m_imageRect.isEmpty())
        m_imageRect = rect();
    m_oldContentBitmap = snapshot(this, m_imageRect);
}

void TWTransitionView::executeTransition(int style, bool reverse, float duration)
{
    if (m_oldContentBitmap.isNull()) {
        qWarning() << "Transition must be prepared before it can be executed";
        return;
    }
    m_reverse = reverse;
    const QImage newImage = snapshot(this, m_imageRect);
    const QImage oldImage = std::exchange(m_oldContentBitmap, QImage());
    if (reverse)
        startAnimation(transitionStyleOfType(style), m_imageRect, newImage, oldImage, duration);
    else
        startAnimation(transitionStyleOfType(style), m_imageRect, oldImage, newImage, duration);
}

void TWTransitionView::startAnimation(Style style, const QRect &imageRect, QImage initial,
                                      QImage final, float duration)
{
    m_style = style;
    m_imageRect = imageRect;
    m_initial = std::move(initial);
    m_final = std::move(final);
    const int ms = std::isfinite(duration) ? int(std::lround(duration * 1000)) : 0;
    if (ms <= 0)
        return animationEnded();
    m_overlay->setGeometry(imageRect);
    m_overlay->raise();
    m_overlay->show();
    m_animation = new TWViewAnimation(m_overlay, ms, this);
    connect(m_animation, &QVariantAnimation::finished, this, &TWTransitionView::animationEnded);
    m_animation->start();
}

void TWTransitionView::finishTransition()
{
    if (m_animation)
        animationEnded();
}

void TWTransitionView::animationEnded()
{
    if (m_animation) {
        TWViewAnimation *animation = std::exchange(m_animation, nullptr);
        animation->disconnect(this);
        animation->stop();
        animation->deleteLater();
    }
    m_overlay->hide();
    m_initial = QImage();
    m_final = QImage();
    if (QWidget *incoming = m_incomingView.data()) {
        m_incomingView.clear();
        incoming->show();
    }
    update();
    emit transitionFinished();
}

void TWTransitionView::paintOverlay(QPainter &painter)
{
    if (!m_animation)
        return;
    qreal t = m_animation->currentValue().toReal();
    if (m_reverse)
        t = 1 - t;
    drawTransitionFrame(painter, m_style, QRectF(QPointF(0, 0), m_imageRect.size()), m_initial,
                        m_final, t);
}
