#pragma once

#include "../support/ImageTestData.h"
#include "render/DrawingContext.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>

// Pictures of each kind a document holds, each with a blue mark at its top
// left so that its orientation shows.
namespace PictureTestData {

inline QByteArray readFixture(const char *name)
{
    QFile file(QStringLiteral(THINKWEB_TEST_DATA "/drawing/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// 4 x 4 pixels at 144 dpi: a blue top-left quarter, red elsewhere but a
// green bottom row.
inline QByteArray pngPicture()
{
    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(qRgb(220, 40, 40));
    for (int x = 0; x < 4; ++x)
        pixels.setPixel(x, 3, qRgb(40, 170, 60));
    for (int i = 0; i < 4; ++i)
        pixels.setPixel(i % 2, i / 2, qRgb(30, 60, 220));
    pixels.setDotsPerMeterX(5669);
    pixels.setDotsPerMeterY(5669);
    return ImageTestData::encoded("png", pixels);
}

// A 100 x 50 point page: a blue square at the top left, the left half of
// the rest black, an orange disc on the right.
inline QByteArray pdfPicture()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        DrawingContext::preparePdfWriter(writer, Size(100, 50));
        QPainter painter(&writer);
        DrawingContext context(painter, false);
        painter.fillRect(QRectF(0, 10, 50, 40), Qt::black);
        painter.fillRect(QRectF(0, 0, 10, 10), QColor(30, 60, 220));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 150, 20));
        painter.drawEllipse(QRectF(60, 10, 30, 30));
    }
    return bytes;
}

// The EPS fixture: 100 x 50 points with the same blue mark.
inline QByteArray epsPicture()
{
    return readFixture("picture.eps");
}

inline bool isNear(QRgb pixel, QRgb expected, int tolerance = 30)
{
    return std::abs(qRed(pixel) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(pixel) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

} // namespace PictureTestData
