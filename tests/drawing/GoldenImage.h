#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

// Compares drawings with reference PNGs under tests/data/drawing. Set
// THINKWEB_REGENERATE_GOLDEN=1 to write the references anew (look at them
// before committing). A mismatch leaves the drawing and a difference map in
// the temporary folder.
namespace GoldenImage {

inline QString goldenPath(const QString &name)
{
    return QStringLiteral(THINKWEB_TEST_DATA "/drawing/") + name + QStringLiteral(".png");
}

struct Difference
{
    qint64 differing = 0; // pixels with a component off by more than the tolerance
    int largest = 0;      // the largest component difference
};

inline Difference compare(const QImage &a, const QImage &b, int tolerance)
{
    Difference d;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int diff = std::max({std::abs(qRed(p[col]) - qRed(q[col])),
                                       std::abs(qGreen(p[col]) - qGreen(q[col])),
                                       std::abs(qBlue(p[col]) - qBlue(q[col])),
                                       std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
            d.largest = std::max(d.largest, diff);
            if (diff > tolerance)
                ++d.differing;
        }
    }
    return d;
}

// Succeeds when every pixel is within `tolerance` of the reference in each
// component, but for at most `allowedFraction` of them.
inline ::testing::AssertionResult matches(const QImage &actual, const QString &name,
                                          int tolerance = 6, double allowedFraction = 0.002)
{
    const QString path = goldenPath(name);
    if (qEnvironmentVariableIntValue("THINKWEB_REGENERATE_GOLDEN") == 1) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!actual.save(path, "png"))
            return ::testing::AssertionFailure() << "could not write " << path.toStdString();
        return ::testing::AssertionSuccess() << "regenerated " << path.toStdString();
    }
    const QImage expected(path);
    const QString outDir = QDir::tempPath() + QStringLiteral("/thinkweb-golden");
    QDir().mkpath(outDir);
    const QString actualPath = outDir + "/" + name + "-actual.png";
    if (expected.isNull()) {
        actual.save(actualPath, "png");
        return ::testing::AssertionFailure()
               << "no reference " << path.toStdString() << "; drawing left at "
               << actualPath.toStdString() << " (THINKWEB_REGENERATE_GOLDEN=1 writes it)";
    }
    if (expected.size() != actual.size()) {
        actual.save(actualPath, "png");
        return ::testing::AssertionFailure()
               << name.toStdString() << ": size " << actual.width() << "x" << actual.height()
               << ", reference " << expected.width() << "x" << expected.height();
    }
    const Difference d = compare(actual, expected, tolerance);
    const qint64 allowed = qint64(allowedFraction * actual.width() * actual.height());
    if (d.differing <= allowed)
        return ::testing::AssertionSuccess();
    actual.save(actualPath, "png");
    QImage map(actual.size(), QImage::Format_RGB32);
    const QImage x = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage y = expected.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < map.height(); ++row)
        for (int col = 0; col < map.width(); ++col)
            map.setPixel(
                col, row,
                compare(x.copy(col, row, 1, 1), y.copy(col, row, 1, 1), tolerance).differing
                    ? qRgb(255, 0, 0)
                    : qRgb(255, 255, 255));
    map.save(outDir + "/" + name + "-difference.png", "png");
    return ::testing::AssertionFailure()
           << name.toStdString() << ": " << d.differing << " pixels differ by more than "
           << tolerance << " (largest " << d.largest << "), " << allowed
           << " allowed; drawing and difference in " << outDir.toStdString();
}

} // namespace GoldenImage
