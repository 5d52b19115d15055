// The dialog that rearranges a document window's toolbar.

#include "application/TWToolbarController.h"

#include "application/TWToolbarImages.h"
#include "platform/TWLocalizedString.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}
} // namespace

TWToolbarCustomizeDialog::TWToolbarCustomizeDialog(TWToolbarController &controller, QWidget *parent)
    : QDialog(parent), m_controller(controller), m_identifiers(controller.itemIdentifiers())
{
    setObjectName(QStringLiteral("toolbarCustomizeDialog"));
    setWindowTitle(dadoZiz("Customize Toolbar"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(dadoZiz("Available items:"), this), 0, 0);
    grid->addWidget(new QLabel(dadoZiz("Toolbar:"), this), 0, 2);
    m_allowed = new QListWidget(this);
    m_allowed->setObjectName(QStringLiteral("allowedItems"));
    m_current = new QListWidget(this);
    m_current->setObjectName(QStringLiteral("currentItems"));
    for (QListWidget *list : {m_allowed, m_current}) {
        list->setIconSize(QSize(24, 24));
        list->setMinimumWidth(240);
    }
    for (const QString &identifier : controller.allowedItemIdentifiers()) {
        auto *row = new QListWidgetItem(title(identifier), m_allowed);
        row->setData(Qt::UserRole, identifier);
        if (const QAction *probe = controller.itemForItemIdentifier(identifier, false)) {
            row->setIcon(probe->icon());
            delete probe;
        }
    }
    grid->addWidget(m_allowed, 1, 0);
    grid->addWidget(m_current, 1, 2);

    auto *buttons = new QVBoxLayout;
    const auto button = [this, buttons](const char *text, auto action) {
        auto *b = new QPushButton(dadoZiz(text), this);
        connect(b, &QPushButton::clicked, this, action);
        buttons->addWidget(b);
    };
    button("Add", [this] {
        if (const QListWidgetItem *item = m_allowed->currentItem()) {
            const int at = m_current->currentRow();
            insertItem(item->data(Qt::UserRole).toString(), at < 0 ? -1 : at + 1);
        }
    });
    button("Remove", [this] { removeRow(m_current->currentRow()); });
    button("Move Up", [this] {
        const int row = m_current->currentRow();
        moveRow(row, row - 1);
    });
    button("Move Down", [this] {
        const int row = m_current->currentRow();
        moveRow(row, row + 1);
    });
    buttons->addStretch(1);
    button("Use Default Set", [this] { useDefaultSet(); });
    grid->addLayout(buttons, 1, 1);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(box, 2, 0, 1, 3);
    reload();
}

QString TWToolbarCustomizeDialog::title(const QString &identifier) const
{
    if (identifier == TWToolbarController::SpaceItem)
        return dadoZiz("Space");
    if (identifier == TWToolbarController::FlexibleSpaceItem)
        return dadoZiz("Flexible Space");
    if (identifier == TWToolbarController::SeparatorItem)
        return dadoZiz("Separator");
    // The palette label names an item in this list.
    if (QAction *probe = m_controller.itemForItemIdentifier(identifier, false)) {
        const QString text = probe->property("paletteLabel").toString();
        delete probe;
        return text;
    }
    return identifier;
}

void TWToolbarCustomizeDialog::reload()
{
    const int row = m_current->currentRow();
    m_current->clear();
    for (const QString &identifier : m_identifiers) {
        auto *item = new QListWidgetItem(title(identifier), m_current);
        item->setData(Qt::UserRole, identifier);
    }
    m_current->setCurrentRow(std::min(row, int(m_identifiers.size()) - 1));
}

void TWToolbarCustomizeDialog::insertItem(const QString &identifier, int row)
{
    if (!m_controller.allowedItemIdentifiers().contains(identifier))
        return;
    if (!TWToolbarController::isRepeatable(identifier)) {
        const int old = int(m_identifiers.indexOf(identifier));
        if (old >= 0) {
            m_identifiers.removeAt(old);
            if (row > old)
                --row;
        }
    }
    if (row < 0 || row > m_identifiers.size())
        row = int(m_identifiers.size());
    m_identifiers.insert(row, identifier);
    reload();
    m_current->setCurrentRow(row);
}

void TWToolbarCustomizeDialog::removeRow(int row)
{
    if (row < 0 || row >= m_identifiers.size())
        return;
    m_identifiers.removeAt(row);
    reload();
}

void TWToolbarCustomizeDialog::moveRow(int from, int to)
{
    if (from < 0 || from >= m_identifiers.size() || to < 0 || to >= m_identifiers.size())
        return;
    m_identifiers.move(from, to);
    reload();
    m_current->setCurrentRow(to);
}

void TWToolbarCustomizeDialog::useDefaultSet()
{
    m_identifiers = m_controller.defaultItemIdentifiers();
    reload();
}
