#pragma once

#include "BranchTestSupport.h"
#include "StyleTestSupport.h"

#include "graphics/TWRectangle.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWStyleViewDocument.h"
#include "platform/RecordingAlerts.h"
#include "styles/TWStyleManager.h"

#include <QDir>
#include <QFile>

namespace StyleEditingTest {

// A map with three rectangle branches, the selection's settings, a private
// style library holding the user styles "Bold" and "Plain", and the fixture
// standing in for the active document.
class Fixture : public BranchTest::BranchFixture
{
protected:
    Fixture()
    {
        library().reloadGraphicStyles();
        library().reloadMapStyles();
        shippedGraphicNames = libraryNames(library().graphicStyles());
        a = rectangleChild(100, "a");
        b = rectangleChild(200, "b");
        c = rectangleChild(300, "c");
        bold = saved(graphicStyle("Bold", Color::colorWithCalibratedRed(1, 0, 0), 3));
        plain = saved(graphicStyle("Plain", Color::whiteColor(), 1));
        settle();
        link.mapsDocument = [this] { return document.get(); };
        link.bindingController = &binding;
        link.undoManager = undo.get();
        link.identity = &documentIdentity;
        TWStyleViewDocument::setActiveProvider([this] { return link; });
        Alerts::setCurrent(&alerts);
    }
    ~Fixture() override
    {
        Alerts::setCurrent(nullptr);
        TWStyleViewDocument::setActiveProvider({});
    }

    static TWStyleManager &library() { return TWStyleManager::sharedStyleManager(); }

    std::shared_ptr<TWMapBranch> rectangleChild(float y, const QString &name)
    {
        auto branch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(500, y, 80, 30)), root.get(), map.get());
        branch->enclosedTextArea()->setString(name);
        return branch;
    }
    static std::shared_ptr<TWStyle> graphicStyle(const QString &name, const Color &fill,
                                                 int strokeStyle)
    {
        auto style = TWStyle::create(TWStyle::GraphicStyle);
        style->setName(name);
        style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(fill));
        style->setValue(TWStyle::GraphicGroup, "strokeStyle", strokeStyle);
        return style;
    }
    static std::shared_ptr<TWStyle> saved(const std::shared_ptr<TWStyle> &style)
    {
        EXPECT_TRUE(library().saveStyle(style));
        return style;
    }
    void select(const std::vector<std::shared_ptr<TWGraphic>> &graphics)
    {
        map->removeAllSelectedGraphics();
        for (const auto &g : graphics)
            map->insertObjectInSelectedGraphicsAtIndex(g, map->countOfSelectedGraphics());
        settle();
        binding.update();
    }
    QString userFile(const TWStyle &style) const
    {
        return library().graphicFolder(true) + QLatin1Char('/') + style.identifier() +
               QStringLiteral(".TWStyle");
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every file of a folder with its bytes.
    static QMap<QString, QByteArray> folderContents(const QString &folder)
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(folder).entryList(QDir::Files))
            files.insert(name, contents(folder + QLatin1Char('/') + name));
        return files;
    }
    // Library names, sorted ignoring case, as the menus and editors list them.
    static QStringList libraryNames(const TWStyleManager::StyleDictionary &styles)
    {
        QStringList names;
        for (const auto &style : styles)
            names << style->name();
        names.sort(Qt::CaseInsensitive);
        return names;
    }
    // The shipped graphic styles' names plus the given ones, sorted ignoring case.
    QStringList withShipped(const QStringList &names) const
    {
        QStringList all = shippedGraphicNames + names;
        all.sort(Qt::CaseInsensitive);
        return all;
    }

    StyleTest::ScopedDataHome home;
    RecordingAlerts alerts;
    int documentIdentity = 0;
    TWGraphicBindingController binding{[this] { return document.get(); }, &documentIdentity};
    TWStyleViewDocument link;
    std::shared_ptr<TWMapBranch> a, b, c;
    std::shared_ptr<TWStyle> bold, plain;
    QStringList shippedGraphicNames;
};

} // namespace StyleEditingTest
