#include "palettes/TWHyperlinkTableView.h"

#include "graphics/TWGraphic.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWHyperlinkEditor.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/VCardReader.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString LinkURL = QStringLiteral("linkURL");
const QString LinkType = QStringLiteral("linkType");

// Address cards as desktops drag them.
const QStringList &vCardTypes()
{
    static const QStringList types{QStringLiteral("text/vcard"), QStringLiteral("text/x-vcard"),
                                   QStringLiteral("text/directory")};
    return types;
}

bool isThinkwebPath(const QString &path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("tweb");
}

} // namespace

// --- TWHyperlinkArrayController ---

std::shared_ptr<TWHyperlink> TWHyperlinkArrayController::linkAtRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}

void TWHyperlinkArrayController::rearrangeObjects()
{
    LinkList rows = arrangedObjects();
    // The same links keep their rows, and the table its selection.
    if (rows == m_rows) {
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0));
        return;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int TWHyperlinkArrayController::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TWHyperlinkArrayController::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant TWHyperlinkArrayController::data(const QModelIndex &index, int role) const
{
    const std::shared_ptr<TWHyperlink> link = linkAtRow(index.row());
    if (!link)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return link->description();
    case Qt::ToolTipRole:
        return link->linkURL().value_or(QString());
    default:
        return {};
    }
}

// --- TWBranchHyperlinks ---

TWBranchHyperlinks::TWBranchHyperlinks(QObject *parent) : TWHyperlinkArrayController(parent) {}

void TWBranchHyperlinks::setBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    m_branch = branch;
    rearrangeObjects();
}

TWHyperlinkArrayController::LinkList TWBranchHyperlinks::arrangedObjects() const
{
    const std::shared_ptr<TWMapBranch> branch = m_branch.lock();
    return branch ? branch->hyperlinks() : LinkList();
}

void TWBranchHyperlinks::addObject(const std::shared_ptr<TWHyperlink> &link)
{
    const std::shared_ptr<TWMapBranch> branch = m_branch.lock();
    if (!branch || !link)
        return;
    branch->publicInsertHyperlink(link, branch->countOfHyperlinks());
    rearrangeObjects();
}

// --- TWHyperlinkTableView ---

TWHyperlinkTableView::TWHyperlinkTableView(QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("hyperlinkTableView"));
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &) { editSelectedHyperlink(); });
    m_addMenu = makeKindMenu(QStringLiteral("addMenu"), [this](int kind) { addHyperlink(kind); });
    m_changeMenu = makeKindMenu(QStringLiteral("changeMenu"),
                                [this](int kind) { changeSelectedHyperlink(kind); });
    // The change menu shows the selected link's kind.
    connect(m_changeMenu, &QMenu::aboutToShow, this, [this] {
        const std::shared_ptr<TWHyperlink> link = selectedHyperlink();
        for (QAction *item : m_changeMenu->actions()) {
            item->setEnabled(link != nullptr);
            item->setChecked(link && item->data().toInt() == link->linkType());
        }
    });
}

QMenu *TWHyperlinkTableView::makeKindMenu(const QString &name, std::function<void(int)> action)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(name);
    for (int kind = TWHyperlink::LocalFile; kind <= TWHyperlink::EMail; ++kind) {
        QAction *item = menu->addAction(TWHyperlink::labelForType(kind));
        item->setData(kind);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [action, kind] { action(kind); });
    }
    return menu;
}

QStringList TWHyperlinkTableView::supportedDragTypes()
{
    return QStringList{QStringLiteral("text/uri-list")} + vCardTypes();
}

void TWHyperlinkTableView::setHyperlinkArrayController(TWHyperlinkArrayController *controller)
{
    m_controller = controller;
    setModel(controller);
}

std::shared_ptr<TWHyperlink> TWHyperlinkTableView::selectedHyperlink() const
{
    if (!m_controller || !selectionModel())
        return nullptr;
    QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    std::sort(rows.begin(), rows.end());
    return m_controller->linkAtRow(rows.first().row());
}

void TWHyperlinkTableView::editSelectedHyperlink()
{
    if (const std::shared_ptr<TWHyperlink> link = selectedHyperlink())
        TWHyperlinkEditor::edit(link);
}

void TWHyperlinkTableView::showHyperlinkAddMenu(QWidget *sender)
{
    for (QAction *item : m_addMenu->actions())
        item->setChecked(false);
    QWidget *anchor = sender ? sender : this;
    m_addMenu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

void TWHyperlinkTableView::addHyperlink(int linkType)
{
    if (!m_controller)
        return;
    auto link = std::make_shared<TWHyperlink>(linkType);
    const QPointer<TWHyperlinkArrayController> controller = m_controller;
    // Only a link the user confirmed joins the list: a cancelled one has no target.
    TWHyperlinkEditor::edit(link, [controller, link] {
        if (controller)
            controller->addObject(link);
    });
}

void TWHyperlinkTableView::changeSelectedHyperlink(int linkType)
{
    const std::shared_ptr<TWHyperlink> link = selectedHyperlink();
    if (!link)
        return;
    link->setValueForKey(linkType, LinkType);
    if (m_controller)
        m_controller->rearrangeObjects();
    TWHyperlinkEditor::edit(link);
}

QString TWHyperlinkTableView::toolTipForRow(int row) const
{
    if (!m_controller)
        return {};
    return m_controller->data(m_controller->index(row, 0), Qt::ToolTipRole).toString();
}

// --- drops ---

bool TWHyperlinkTableView::acceptsDrag(const QMimeData *data)
{
    if (!data)
        return false;
    for (const QString &type : supportedDragTypes())
        if (data->hasFormat(type))
            return true;
    return false;
}

void TWHyperlinkTableView::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsDrag(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TWHyperlinkTableView::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsDrag(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TWHyperlinkTableView::dropEvent(QDropEvent *event)
{
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    concludeDragOperation(event->mimeData());
}

void TWHyperlinkTableView::addLink(int linkType, const QString &url)
{
    auto link = std::make_shared<TWHyperlink>(linkType);
    link->setValueForKey(url, LinkURL);
    m_controller->addObject(link);
}

int TWHyperlinkTableView::concludeDragOperation(const QMimeData *data)
{
    if (!m_controller || !data)
        return 0;
    const int before = m_controller->rowCount();
    if (data->hasFormat(QStringLiteral("text/uri-list"))) {
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile()) {
                const QString path = url.toLocalFile();
                if (QFileInfo(path).suffix().toLower() == QLatin1String("vcf"))
                    dropVCardFile(path);
                else
                    addLink(isThinkwebPath(path) ? TWHyperlink::ThinkwebFile
                                                 : TWHyperlink::LocalFile,
                            path);
                continue;
            }
            const QString address = url.toString();
            if (address.isEmpty())
                continue;
            addLink(isThinkwebPath(url.path()) ? TWHyperlink::ThinkwebURL : TWHyperlink::URL,
                    address);
        }
    } else {
        // A card dragged as data reads like a dropped card file.
        for (const QString &type : vCardTypes())
            if (data->hasFormat(type)) {
                dropVCardData(data->data(type));
                break;
            }
    }
    return m_controller->rowCount() - before;
}

bool TWHyperlinkTableView::addMailLink(const std::optional<QString> &address)
{
    if (!m_controller || !address || address->isEmpty())
        return false;
    auto link = std::make_shared<TWHyperlink>(TWHyperlink::EMail);
    link->setValueForKey(*address, LinkURL);
    m_controller->addObject(link);
    // Subject and body are the user's to fill in.
    TWHyperlinkEditor::edit(link);
    return true;
}

bool TWHyperlinkTableView::dropVCardFile(const QString &path)
{
    return addMailLink(VCardReader::primaryEmailAddressOfFile(path));
}

bool TWHyperlinkTableView::dropVCardData(const QByteArray &data)
{
    return addMailLink(VCardReader::primaryEmailAddress(data));
}

// --- TWHyperlinkPalette ---

TWHyperlinkPalette::TWHyperlinkPalette(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("hyperlinkPalette"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_hyperlinks = new TWBranchHyperlinks(this);
    m_table = new TWHyperlinkTableView(this);
    m_table->setHyperlinkArrayController(m_hyperlinks);
    m_table->setFixedHeight(110);
    layout->addWidget(m_table);
    auto *buttons = new QHBoxLayout;
    m_addButton = new QPushButton(QStringLiteral("+"), this);
    m_addButton->setToolTip(TWLocalizedString(StringTable::DadoZiz, "Add a hyperlink"));
    connect(m_addButton, &QPushButton::clicked, this,
            [this] { m_table->showHyperlinkAddMenu(m_addButton); });
    m_changeButton = new QPushButton(TWLocalizedString(StringTable::DadoZiz, "Kind"), this);
    m_changeButton->setMenu(m_table->changeMenu());
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_changeButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setBranch(nullptr);
}

void TWHyperlinkPalette::setDocument(TWPaletteHost *document)
{
    m_document = document;
    m_selectionObserver = NotificationCenter::defaultCenter().observe(
        TWMapsDoc::SelectedGraphicsChangedNotification, nullptr,
        [this](const Notification &) { selectionChanged(); });
    selectionChanged();
}

void TWHyperlinkPalette::selectionChanged()
{
    const TWMapsDoc *maps = m_document ? m_document->mapsDocument() : nullptr;
    const TWMap *map = maps ? maps->currentMap().get() : nullptr;
    // The links of one branch only: several selected branches show none.
    QList<TWMapBranch *> branches;
    if (map)
        for (const std::shared_ptr<TWGraphic> &graphic : map->selectedGraphics())
            if (TWMapBranch *branch = graphic->branch(); branch && !branches.contains(branch))
                branches << branch;
    setBranch(branches.size() == 1 ? branches.front()->shared_from_this() : nullptr);
}

void TWHyperlinkPalette::setBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    if (branch != m_hyperlinks->branch() || !branch) {
        // Whatever the branch posts may have changed its links, undo included.
        m_branchObserver =
            branch ? NotificationCenter::defaultCenter().observe(
                         QString(), branch.get(),
                         [this](const Notification &) { m_hyperlinks->rearrangeObjects(); })
                   : ObserverToken();
        m_hyperlinks->setBranch(branch);
    }
    m_addButton->setEnabled(branch != nullptr);
    m_changeButton->setEnabled(branch != nullptr);
}
