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

// Succeeds when every pixel is within `tolerance` of the reference in each
// component, but for at most `allowedFraction` of them.
inline ::testing::AssertionResult matches(const QImage &actual, const QString &name,
                                          int tolerance = 6, double allowedFraction = 0.002)
{
    const QString path = QStringLiteral(THINKWEB_TEST_DATA "/drawing/") + name + ".png";
    if (qEnvironmentVariableIntValue("THINKWEB_REGENERATE_GOLDEN") == 1) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!actual.save(path, "png"))
            return ::testing::AssertionFailure() << "could not write " << path.toStdString();
        return ::testing::AssertionSuccess() << "regenerated " << path.toStdString();
    }
    const QString outDir = QDir::tempPath() + QStringLiteral("/thinkweb-golden");
    QDir().mkpath(outDir);
    actual.save(outDir + "/" + name + "-actual.png", "png");
    const QImage expected = QImage(path).convertToFormat(QImage::Format_ARGB32);
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure()
               << name.toStdString() << ": size " << actual.width() << "x" << actual.height()
               << ", reference " << expected.width() << "x" << expected.height() << " at "
               << path.toStdString() << " (THINKWEB_REGENERATE_GOLDEN=1 writes it)";
    const QImage x = actual.convertToFormat(QImage::Format_ARGB32);
    QImage map(actual.size(), QImage::Format_RGB32);
    qint64 differing = 0;
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = expected.pixel(col, row);
            const int diff =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            largest = std::max(largest, diff);
            differing += diff > tolerance;
            map.setPixel(col, row, diff > tolerance ? qRgb(255, 0, 0) : qRgb(255, 255, 255));
        }
    const qint64 allowed = qint64(allowedFraction * actual.width() * actual.height());
    if (differing <= allowed)
        return ::testing::AssertionSuccess();
    map.save(outDir + "/" + name + "-difference.png", "png");
    return ::testing::AssertionFailure()
           << name.toStdString() << ": " << differing << " pixels differ by more than " << tolerance
           << " (largest " << largest << "), " << allowed << " allowed; see "
           << outDir.toStdString();
}

} // namespace GoldenImage
