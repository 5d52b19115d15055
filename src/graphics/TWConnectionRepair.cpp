#include "graphics/TWConnectionRepair.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapConnectionRebuild.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"

#include <QDebug>

namespace {

// Through the installed factory, like every other rebuild of connections.
std::shared_ptr<TWConnectionGraphic> defaultConnection(TWMapBranch &branch, TWMapBranch &parent)
{
    TWConnectionFactory &factory = TWConnectionFactory::installed();
    std::shared_ptr<TWConnectionGraphic> connection;
    if (parent.isRoot()) {
        const Rect r = parent.mainGraphic() ? parent.mainGraphic()->bounds() : Rect();
        connection = factory.makeTitleConnection(branch.mainGraphic(), Point(r.midX(), r.midY()));
    } else {
        connection = factory.makeChildConnection(parent.mainGraphic(), branch.mainGraphic());
    }
    if (!connection)
        return nullptr;
    connection->setPrimitiveBranch(&branch);
    factory.applySettings(*connection, TWConnectionSettings());
    connection->setDrawsFill(parent.isRoot());
    connection->setDrawsStroke(true);
    return connection;
}

// Of the kind the branch's place wants, and joined to the shapes it connects:
// one whose stored numbers found no shape would be saved joined to nothing.
bool hasRightConnection(const TWMapBranch &branch, const TWMapBranch &parent)
{
    const TWConnectionGraphic *c = branch.connectionGraphic().get();
    const TWConnectionKind wanted =
        parent.isRoot() ? TWConnectionKind::Title : TWConnectionKind::Child;
    const TWConnectionFactory &factory = TWConnectionFactory::installed();
    if (!c || factory.kindOf(*c) != wanted)
        return false;
    const TWGraphic *own = branch.mainGraphic().get();
    const TWGraphic *parentShape = parent.mainGraphic().get();
    const TWConnectionGraphicNumbers joined = factory.graphicNumbers(*c);
    if (wanted == TWConnectionKind::Title)
        return !own || joined.connected == own->graphicNumber();
    return !own || !parentShape ||
           (joined.child == own->graphicNumber() && joined.parent == parentShape->graphicNumber());
}

} // namespace

int rebuildMissingConnections(TWMapBranch &root)
{
    int made = 0;
    for (const std::shared_ptr<TWMapBranch> &child : root.children()) {
        if (!hasRightConnection(*child, root) && child->mainGraphic()) {
            if (const auto connection = defaultConnection(*child, root)) {
                child->setConnectionGraphic(connection);
                connection->updateBounds();
                ++made;
            }
        }
        made += rebuildMissingConnections(*child);
    }
    return made;
}

int repairConnectionsAfterLoading(TWMap &map)
{
    if (!map.root())
        return 0;
    const int made = rebuildMissingConnections(*map.root());
    if (made > 0) {
        qWarning("Rebuilt %d connections that could not be loaded", made);
        // A reader that tells the user what it mended tells this with the rest.
        if (TWBranchReadDamage::counting()) {
            TWBranchReadDamage::noteMended(made);
            return made;
        }
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("Unable to load Child Connection.")),
            TWLocalizedString(
                StringTable::DadoZiz,
                QStringLiteral("There was an error loading a graphic on this map. "
                               "Please contact Thinkweb support for further diagnosis.")),
            {QStringLiteral("OK")});
    }
    return made;
}
