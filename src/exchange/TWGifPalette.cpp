#include "exchange/TWGifPalette.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int PaletteSize = 256;
// Kept exactly whatever else the picture holds: at most this many colours,
// each covering at least one pixel in KeptShare (and a few pixels).
constexpr int MostKept = 128;
constexpr qsizetype KeptShare = 1000;
constexpr qsizetype KeptAtLeast = 16;

struct Counted
{
    QRgb color;
    qsizetype count;
};

int channel(QRgb c, int which)
{
    return which == 0 ? qRed(c) : which == 1 ? qGreen(c) : qBlue(c);
}

// Median cut: the box with the widest channel is split at the pixel-weighted
// median of that channel until there are `wanted` boxes or none splits.
QList<QRgb> medianCut(std::vector<Counted> colors, int wanted)
{
    struct Box
    {
        size_t begin, end;
    };
    const auto widest = [&](const Box &b, int *which) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, channel(colors[i].color, c));
                hi = std::max(hi, channel(colors[i].color, c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                *which = c;
            }
        }
        return best;
    };
    std::vector<Box> boxes;
    if (!colors.empty())
        boxes.push_back({0, colors.size()});
    while (int(boxes.size()) < wanted) {
        int pick = -1, pickChannel = 0, pickRange = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            int which = 0;
            const int range = widest(boxes[i], &which);
            if (range > pickRange) {
                pick = int(i);
                pickChannel = which;
                pickRange = range;
            }
        }
        if (pick < 0)
            break;
        Box &box = boxes[size_t(pick)];
        std::sort(colors.begin() + qsizetype(box.begin), colors.begin() + qsizetype(box.end),
                  [&](const Counted &a, const Counted &b) {
                      return channel(a.color, pickChannel) < channel(b.color, pickChannel);
                  });
        qsizetype total = 0;
        for (size_t i = box.begin; i < box.end; ++i)
            total += colors[i].count;
        size_t split = box.begin + 1;
        for (qsizetype seen = colors[box.begin].count; split + 1 < box.end && seen * 2 < total;
             ++split)
            seen += colors[split].count;
        const Box upper{split, box.end};
        box.end = split;
        boxes.push_back(upper);
    }
    QList<QRgb> palette;
    for (const Box &b : boxes) {
        double r = 0, g = 0, bl = 0, n = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            const double w = double(colors[i].count);
            r += qRed(colors[i].color) * w;
            g += qGreen(colors[i].color) * w;
            bl += qBlue(colors[i].color) * w;
            n += w;
        }
        palette.append(qRgb(int(r / n + 0.5), int(g / n + 0.5), int(bl / n + 0.5)));
    }
    return palette;
}

int nearest(const QList<QRgb> &palette, int r, int g, int b)
{
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - r, dg = qGreen(palette[i]) - g,
                  db = qBlue(palette[i]) - b;
        const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

} // namespace

namespace TWGifPalette {

QImage toIndexed8(const QImage &picture)
{
    if (picture.isNull())
        return {};
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width(), height = rgb.height();
    QHash<QRgb, qsizetype> histogram;
    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x)
            ++histogram[line[x] | 0xff000000u];
    }
    std::vector<Counted> colors;
    colors.reserve(size_t(histogram.size()));
    for (auto it = histogram.cbegin(); it != histogram.cend(); ++it)
        colors.push_back({it.key(), it.value()});
    // Most used first, then by value: the same picture gives the same file.
    std::sort(colors.begin(), colors.end(), [](const Counted &a, const Counted &b) {
        return a.count != b.count ? a.count > b.count : a.color < b.color;
    });

    QList<QRgb> palette;
    QHash<QRgb, int> exact; // palette colours: drawn as they are
    if (colors.size() <= size_t(PaletteSize)) {
        for (const Counted &c : colors)
            palette.append(c.color);
    } else {
        const qsizetype enough = std::max(KeptAtLeast, qsizetype(width) * height / KeptShare);
        size_t kept = 0;
        while (kept < colors.size() && kept < size_t(MostKept) && colors[kept].count >= enough)
            palette.append(colors[kept++].color);
        palette.append(medianCut({colors.begin() + qsizetype(kept), colors.end()},
                                 PaletteSize - int(kept)));
    }
    // A median-cut colour that equals one of the picture's is exact too.
    for (int i = 0; i < palette.size(); ++i)
        exact.insert(palette[i], i);

    QImage indexed(width, height, QImage::Format_Indexed8);
    if (indexed.isNull())
        return {};
    indexed.setColorTable(palette);
    indexed.setDotsPerMeterX(rgb.dotsPerMeterX());
    indexed.setDotsPerMeterY(rgb.dotsPerMeterY());
    // Floyd-Steinberg among the pixels not drawn exactly: they neither take
    // nor pass on an error, so a flat colour next to an edge stays flat.
    std::vector<std::array<int, 3>> errors(size_t(width) + 2), next(size_t(width) + 2);
    QHash<QRgb, int> closest;
    for (int y = 0; y < height; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        std::fill(next.begin(), next.end(), std::array<int, 3>{0, 0, 0});
        for (int x = 0; x < width; ++x) {
            const QRgb c = line[x] | 0xff000000u;
            if (const auto it = exact.constFind(c); it != exact.cend()) {
                out[x] = uchar(*it);
                continue;
            }
            const std::array<int, 3> &e = errors[size_t(x) + 1];
            const int r = std::clamp(qRed(c) + e[0] / 16, 0, 255);
            const int g = std::clamp(qGreen(c) + e[1] / 16, 0, 255);
            const int b = std::clamp(qBlue(c) + e[2] / 16, 0, 255);
            const QRgb wanted = qRgb(r, g, b);
            auto found = closest.constFind(wanted);
            if (found == closest.cend())
                found = closest.insert(wanted, nearest(palette, r, g, b));
            out[x] = uchar(*found);
            const QRgb drawn = palette[*found];
            const int d[3] = {r - qRed(drawn), g - qGreen(drawn), b - qBlue(drawn)};
            for (int k = 0; k < 3; ++k) {
                errors[size_t(x) + 2][k] += d[k] * 7;
                next[size_t(x)][k] += d[k] * 3;
                next[size_t(x) + 1][k] += d[k] * 5;
                next[size_t(x) + 2][k] += d[k];
            }
        }
        std::swap(errors, next);
    }
    return indexed;
}

} // namespace TWGifPalette
