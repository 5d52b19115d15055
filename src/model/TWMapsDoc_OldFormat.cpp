// Documents of the old property-list format: read once, saved as packages.
#include "graphics/TWChildConnection.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc_Private.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/OldStyleValues.h"

#include <QDebug>
#include <QSet>

#include <pwd.h>
#include <unistd.h>

using namespace OldStyleValues;

namespace {

// The user's full name from the account database, else the login name.
QString fullUserName()
{
    struct passwd entry;
    struct passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        const QString gecos = QString::fromLocal8Bit(found->pw_gecos).section(u',', 0, 0);
        if (!gecos.trimmed().isEmpty())
            return gecos.trimmed();
        return QString::fromLocal8Bit(found->pw_name);
    }
    return qEnvironmentVariable("USER");
}

// Connections and link lines find their graphics again, and each branch
// fits its shape to its text as it is here.
void refitLoadedGraphics(TWMap &map)
{
    QSet<TWMapBranch *> refitted;
    for (const std::shared_ptr<TWGraphic> &graphic : TWMap::GraphicList(map.graphics())) {
        if (auto *title = dynamic_cast<TWTitleConnection *>(graphic.get())) {
            title->setConnectedGraphicNumber(title->connectedGraphicNumber());
        } else if (auto *child = dynamic_cast<TWChildConnection *>(graphic.get())) {
            child->setParentGraphicNumber(child->parentGraphicNumber());
            child->setChildGraphicNumber(child->childGraphicNumber());
            child->updateBounds();
        } else if (auto *line = dynamic_cast<TWLinkLine *>(graphic.get())) {
            line->setStartGraphicNumber(line->startGraphicNumber());
            line->setEndGraphicNumber(line->endGraphicNumber());
        }
        TWMapBranch *branch = graphic->branch();
        if (!branch || refitted.contains(branch))
            continue;
        refitted.insert(branch);
        if (const std::shared_ptr<TWTextArea> &text = branch->enclosedTextArea())
            branch->updateBranchSizeForTextChangeToSize(text->bounds().size, true);
    }
}

} // namespace

std::shared_ptr<TWMapsDoc> TWMapsDoc::createWithOldStyleDictionary(const QVariantMap &dictionary)
{
    std::shared_ptr<TWMapsDoc> document = create();
    auto has = [&dictionary](const char *key) { return dictionary.contains(QLatin1String(key)); };
    auto value = [&dictionary](const char *key) { return dictionary.value(QLatin1String(key)); };

    const int version = intValue(value("versionNumber"));
    if (version > 3) {
        qWarning("Old document of version %d: this program reads versions up to 3", version);
        document->detach();
        return nullptr;
    }

    UndoManager *undo = document->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const OldStyleValues::ArchiveCache archives;
    std::shared_ptr<TWMap> map = TWMap::initWithOldStyleDictionary(dictionary, document.get());
    if (!map) {
        if (undo)
            undo->enableUndoRegistration();
        document->detach();
        return nullptr;
    }
    refitLoadedGraphics(*map);
    document->insertObjectInMapsAtIndex(map, 0);

    for (const char *key : {"orderingMode", "graphicColoringMode", "firstLevelSpacing",
                            "interChildSpacing", "repelDistance", "layoutAssistanceMode"}) {
        if (has(key))
            map->setMapValue(intValue(value(key)), QLatin1String(key));
    }
    if (has("displayingOutlineNumbers"))
        map->setShowOutlineNumbers(isYes(value("displayingOutlineNumbers")));
    if (has("textMaxWidthSet"))
        map->setTextMaxWidthSet(isYes(value("textMaxWidthSet")));
    if (has("textMaxWidth"))
        map->setTextMaxWidth(TWGraphic::correctedReal(floatValue(value("textMaxWidth")), 50));
    if (has("defaultGraphicColor"))
        map->setDefaultGraphicColor(unarchivedColor(value("defaultGraphicColor")));
    if (has("defaultStrokeColor"))
        map->setDefaultStrokeColor(unarchivedColor(value("defaultStrokeColor")));
    if (has("backgroundColor"))
        map->setBackgroundColor(unarchivedColor(value("backgroundColor")));
    if (has("continuousSpellCheck"))
        map->setContinuousSpellCheck(isYes(value("continuousSpellCheck")));
    if (has("showingLinks"))
        map->setShowLinkLines(isYes(value("showingLinks")));
    if (has("showingAttachedGraphics"))
        map->setShowAttachedGraphics(isYes(value("showingAttachedGraphics")));
    if (has("rainbowColorSaturation"))
        map->setRainbowSaturation(floatValue(value("rainbowColorSaturation")));
    if (has("rainbowAngle"))
        map->setRainbowAngle(floatValue(value("rainbowAngle")));
    if (has("graphicClassIdentifier")) {
        // Picture branches of old are rectangles holding a picture now.
        const int type = intValue(value("graphicClassIdentifier"));
        document->setGraphicClassIdentifier(type == 4 ? 2 : type);
    }
    if (has("attachedGraphicClassIdentifier"))
        document->setAttachedGraphicClassIdentifier(
            intValue(value("attachedGraphicClassIdentifier")));

    document->setCurrentMapNumber(0);
    document->setCreator(fullUserName());
    document->setCreationDate(CalendarDate::now());
    document->m_revisionNumber = 0;

    if (has("HTMLExportSetup"))
        document->setHtmlSetupDictionary(OrderedDictionary::fromVariantMap(
            OldStyleValues::dictionary(value("HTMLExportSetup"))));
    if (has("ScreenWriterSetup")) {
        const QVariantMap setup = OldStyleValues::dictionary(value("ScreenWriterSetup"));
        auto flag = [&setup](const char *key, void (TWMap::*setter)(bool), TWMap &m) {
            if (setup.contains(QLatin1String(key)))
                (m.*setter)(boolFromString(string(setup.value(QLatin1String(key)))));
        };
        auto text = [&setup](const char *key, void (TWMap::*setter)(const QString &), TWMap &m) {
            if (setup.contains(QLatin1String(key)))
                (m.*setter)(string(setup.value(QLatin1String(key))).value_or(QString()));
        };
        TWMap &m = *map;
        flag("isSwDialogueBOPage", &TWMap::setIsSwDialogueBOPage, m);
        text("swDialogueBOPageText", &TWMap::setSwDialogueBOPageText, m);
        flag("isSwDialogueTONPage", &TWMap::setIsSwDialogueTONPage, m);
        text("swDialogueTONPageText", &TWMap::setSwDialogueTONPageText, m);
        flag("isSwDialogueAutoChar", &TWMap::setIsSwDialogueAutoChar, m);
        flag("isSwSceneBOPage", &TWMap::setIsSwSceneBOPage, m);
        text("swSceneBOPageText", &TWMap::setSwSceneBOPageText, m);
        flag("isSwSceneTONPage", &TWMap::setIsSwSceneTONPage, m);
        text("swSceneTONPageText", &TWMap::setSwSceneTONPageText, m);
        flag("isSceneContNoSwitch", &TWMap::setIsSceneContNoSwitch, m);
    }
    if (undo)
        undo->enableUndoRegistration();

    NotificationCenter::defaultCenter().post(BranchHideLevelChangedNotification);
    return document;
}
