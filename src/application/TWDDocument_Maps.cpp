// The Deluxe document's map commands: a new map from a branch, a duplicate
// of the current map, page frames and the document's properties.

#include "application/TWDDocument.h"

#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWClipboardXML.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/TWLocalizedString.h"

#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

std::optional<QString> optionalText(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

void TWDDocument::createNewMapFromSelectedBranch()
{
    TWMapsDoc *maps = mapsDocument();
    const std::shared_ptr<TWMap> source = maps ? maps->currentMap() : nullptr;
    const std::shared_ptr<TWMapBranch> branch = source ? source->selectedBranch() : nullptr;
    if (!branch)
        return;
    if (TWGraphicView *view = graphicView())
        view->endEditingTextNotification();
    const std::shared_ptr<TWMap> map = TWMap::create(maps);
    maps->addMap(map, true);
    const std::shared_ptr<TWMapBranch> &root = map->root();
    if (!root)
        return;
    if (root->enclosedTextArea() && branch->enclosedTextArea())
        root->enclosedTextArea()->setText(branch->enclosedTextArea()->text());
    root->makeNaturalSize();

    // The branch's own graphics hang from the new root, its children become
    // the first level.
    map->removeAllSelectedGraphics();
    root->mainGraphic()->tryToSelect();
    for (const std::shared_ptr<TWGraphic> &graphic : branch->linkedGraphics())
        TWClipboardXML::pasteGraphicFromXml(*map, TWClipboardXML::xmlCopy(*graphic));
    for (const std::shared_ptr<TWMapBranch> &child : branch->children()) {
        map->setSelectedBranches({});
        TWClipboardXML::pasteBranchFromXml(*map, TWClipboardXML::xmlCopy(*child));
    }
    map->removeAllSelectedGraphics();
}

void TWDDocument::duplicateCurrentMap()
{
    TWMapsDoc *maps = mapsDocument();
    const std::shared_ptr<TWMap> current = maps ? maps->currentMap() : nullptr;
    if (!current)
        return;
    if (TWGraphicView *view = graphicView())
        view->endEditingTextNotification();
    // Pictures stay where they are: the copy refers to the same package entries.
    const std::shared_ptr<TWMap> copy = TWMap::createWithXMLElement(
        current->freshXMLElementEmbeddingBinaryData(false), maps, TWMap::Identifier::MakeNew);
    if (copy)
        maps->addMap(copy, true);
}

void TWDDocument::togglePageFrames()
{
    if (TWMapsDoc *maps = mapsDocument())
        maps->setShowPageFrames(!maps->showPageFrames());
}

QWidget *TWDDocument::documentPropertiesPanel()
{
    if (m_documentPropertiesPanel)
        return m_documentPropertiesPanel;
    auto *panel = new QDialog(documentWindow(), Qt::Tool);
    m_documentPropertiesPanel = panel;
    panel->setObjectName(QStringLiteral("documentPropertiesPanel"));
    panel->setWindowTitle(dadoZiz("Document Properties"));
    auto *form = new QFormLayout(panel);
    auto *creator = new QLineEdit(panel);
    creator->setObjectName(QStringLiteral("creator"));
    auto *organization = new QLineEdit(panel);
    organization->setObjectName(QStringLiteral("organization"));
    auto *comments = new QPlainTextEdit(panel);
    comments->setObjectName(QStringLiteral("comments"));
    form->addRow(dadoZiz("Author:"), creator);
    form->addRow(dadoZiz("Organization:"), organization);
    form->addRow(dadoZiz("Comments:"), comments);
    // Each field writes its value when the user leaves it (one undoable change).
    connect(creator, &QLineEdit::editingFinished, this, [this, creator] {
        if (TWMapsDoc *maps = mapsDocument();
            maps && maps->creator().value_or(QString()) != creator->text())
            maps->setCreator(optionalText(creator->text()));
    });
    connect(organization, &QLineEdit::editingFinished, this, [this, organization] {
        if (TWMapsDoc *maps = mapsDocument();
            maps && maps->organization().value_or(QString()) != organization->text())
            maps->setOrganization(optionalText(organization->text()));
    });
    connect(comments, &QPlainTextEdit::textChanged, this, [this, comments] {
        if (TWMapsDoc *maps = mapsDocument();
            maps && maps->comments().value_or(QString()) != comments->toPlainText())
            maps->setComments(optionalText(comments->toPlainText()));
    });
    return panel;
}

void TWDDocument::showDocumentPropertiesPanel()
{
    auto *panel = documentPropertiesPanel();
    if (TWMapsDoc *maps = mapsDocument()) {
        const QSignalBlocker quiet(panel);
        if (auto *field = panel->findChild<QLineEdit *>(QStringLiteral("creator")))
            field->setText(maps->creator().value_or(QString()));
        if (auto *field = panel->findChild<QLineEdit *>(QStringLiteral("organization")))
            field->setText(maps->organization().value_or(QString()));
        if (auto *field = panel->findChild<QPlainTextEdit *>(QStringLiteral("comments"))) {
            const QSignalBlocker quietField(field);
            field->setPlainText(maps->comments().value_or(QString()));
        }
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}
