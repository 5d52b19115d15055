// Maps built in memory for the drawing benchmarks and tests: a four-way tree
// of `count` branches laid out on a square grid, cycling through the shape
// kinds and carrying indicators here and there.
#pragma once

#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "render/TWTextLayout.h"

#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace GeneratedMap {

constexpr float Cell = 98;
// Coordinates stay within the model's range of +-10000 points: grids wider
// than it would allow start at -9990 with smaller cells and shapes.
constexpr float Span = 19980;

inline bool fitsFromTen(int columns)
{
    return 10 + float(columns) * Cell <= 10000;
}

inline Rect cellRect(int index, int columns)
{
    const float cell = fitsFromTen(columns) ? Cell : std::min(Cell, Span / float(columns));
    const float origin = fitsFromTen(columns) ? 10 : -9990;
    const float k = cell / Cell;
    return {origin + float(index % columns) * cell, origin + float(index / columns) * cell, 80 * k,
            30 * k};
}

inline std::shared_ptr<TWGraphic> shapeFor(int index, Rect bounds)
{
    switch (index % 5) {
    case 1: {
        auto r = TWGraphic::make<TWRectangle>(bounds);
        r->setCornerMode(1);
        return r;
    }
    case 2:
        return TWGraphic::make<TWCircle>(bounds);
    case 3:
        return TWGraphic::make<TWCloud>(bounds);
    case 4:
        return TWGraphic::make<TWLine>(bounds);
    default:
        return TWGraphic::make<TWRectangle>(bounds);
    }
}

// Grid cells by depth-first order, so that a subtree lies together and
// connections stay short, as a laid-out map's do. Branch i's children are
// 4i + 1 to 4i + 4.
inline std::vector<int> depthFirstCells(int count)
{
    std::vector<int> cell(size_t(count), 0);
    std::vector<int> stack{0};
    int next = 0;
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        cell[size_t(i)] = next++;
        for (int c = std::min(4 * i + 4, count - 1); c >= 4 * i + 1; --c)
            stack.push_back(c);
    }
    return cell;
}

// Replaces the map's tree below its root with `count - 1` new branches; the
// root moves to the first cell.
inline void fill(TWMap &map, int count)
{
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    const std::vector<int> cells = depthFirstCells(count);
    const std::shared_ptr<TWMapBranch> root = map.root();
    map.setBranchHideLevel(1000);
    root->mainGraphic()->setBounds(cellRect(0, columns));
    if (root->enclosedTextArea())
        root->enclosedTextArea()->setBounds(cellRect(0, columns).insetBy(5, 7));
    std::vector<TWMapBranch *> made{root.get()};
    for (int i = 1; i < count; ++i) {
        const Rect bounds = cellRect(cells[size_t(i)], columns);
        auto branch =
            TWMapBranch::createWithGraphic(shapeFor(i, bounds), made[size_t((i - 1) / 4)], &map);
        branch->enclosedTextArea()->setString(QStringLiteral("Branch %1").arg(i));
        const float textWidth = bounds.width() - 8;
        const Size need =
            TWTextLayout::requiredSizeForWidth(branch->enclosedTextArea()->text(), textWidth);
        branch->enclosedTextArea()->setBounds(
            Rect(bounds.origin.x + 4, bounds.midY() - need.height / 2, textWidth, need.height));
        branch->setTextRelativePosition(2);
        if (i % 7 == 0)
            branch->insertObjectInHyperlinksAtIndex(
                std::make_shared<TWHyperlink>(i % 4,
                                              QStringLiteral("https://example.org/%1").arg(i),
                                              std::nullopt, std::nullopt, std::nullopt),
                0);
        if (i % 11 == 0)
            branch->setPriority(1 + i % 9);
        if (i % 13 == 0)
            branch->setPercentageComplete(float(i % 101));
        if (i % 17 == 0)
            branch->setShowCheckBox(true);
        made.push_back(branch.get());
    }
}

// One generated map per size in its own document, built once and kept to the
// end of the run: building dwarfs what the benchmarks measure.
inline TWMap &cached(int count)
{
    struct Built
    {
        std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
        std::shared_ptr<TWMapsDoc> document;
        std::shared_ptr<TWMap> map;
    };
    static auto &built = *new std::map<int, Built>;
    auto it = built.find(count);
    if (it == built.end()) {
        Built b;
        b.undo->disableUndoRegistration();
        b.document = TWMapsDoc::create();
        b.document->setUndoManager(b.undo);
        b.map = TWMap::create(b.document.get());
        b.document->addMap(b.map, true);
        fill(*b.map, count);
        it = built.emplace(count, std::move(b)).first;
    }
    return *it->second.map;
}

} // namespace GeneratedMap
