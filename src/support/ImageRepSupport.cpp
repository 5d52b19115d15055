#include "support/ImageRepSupport.h"

#include "platform/CFormat.h"

#include <QList>
#include <QRegularExpression>
#include <cmath>

namespace ImageRepSupport {

namespace {

// Headers sit at the start; PDF allows a little junk before its own.
constexpr qsizetype kHeaderWindow = 1024;
// Page boxes are near the start of ordinary files; a hostile one gains
// nothing from a longer search.
constexpr qsizetype kSearchWindow = 4 * 1024 * 1024;

std::optional<Size> sizeFromNumbers(const QList<QByteArray> &numbers)
{
    if (numbers.size() != 4)
        return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = CFormat::doubleValue(QString::fromLatin1(numbers[i]));
    const float width = float(std::fabs(v[2] - v[0]));
    const float height = float(std::fabs(v[3] - v[1]));
    if (!std::isfinite(width) || !std::isfinite(height))
        return std::nullopt;
    return Size(width, height);
}

std::optional<Size> firstBox(const QByteArray &data, const QRegularExpression &pattern)
{
    const QString text = QString::fromLatin1(data.left(kSearchWindow));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QList<QByteArray> numbers;
    for (int i = 1; i <= 4; ++i)
        numbers.append(match.captured(i).toLatin1());
    return sizeFromNumbers(numbers);
}

} // namespace

bool looksLikePDF(const QByteArray &data)
{
    return data.left(kHeaderWindow).contains("%PDF-");
}

bool looksLikeEPS(const QByteArray &data)
{
    // Plain PostScript, or the DOS EPS binary header that wraps it.
    return data.startsWith("%!PS-Adobe") || data.startsWith("\xC5\xD0\xD3\xC6");
}

std::optional<Size> pdfMediaBoxSize(const QByteArray &data)
{
    static const QRegularExpression pattern(QStringLiteral(
        "/MediaBox\\s*\\[\\s*([-+0-9.]+)\\s+([-+0-9.]+)\\s+([-+0-9.]+)\\s+([-+0-9.]+)"
        "\\s*\\]"));
    return firstBox(data, pattern);
}

std::optional<Size> epsBoundingBoxSize(const QByteArray &data)
{
    static const QRegularExpression pattern(QStringLiteral(
        "%%BoundingBox:[ \\t]*([-+0-9.]+)[ \\t]+([-+0-9.]+)[ \\t]+([-+0-9.]+)[ \\t]+([-+0-9.]+)"));
    return firstBox(data, pattern);
}

} // namespace ImageRepSupport
