#include "application/TWMapSelector.h"

#include "platform/TWLocalizedString.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

TWMapSelector::TWMapSelector(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("mapSelectorWindow"));
    setWindowTitle(TWLocalizedString(StringTable::DadoZiz, "Select Map"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, 1, this);
    m_table->setObjectName(QStringLiteral("mapSelectorTableView"));
    m_table->setHorizontalHeaderLabels({TWLocalizedString(StringTable::DadoZiz, "Name")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_table);
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(TWLocalizedString(StringTable::General, "OK"),
                              QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    layout->addWidget(buttons);
    resize(320, 260);

    connect(m_ok, &QPushButton::clicked, this, [this] { mapSelectorOK(m_ok, 1); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { mapSelectorOK(m_table, 2); });
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!m_quiet && row >= 0)
            emit rowSelected(row);
    });
}

void TWMapSelector::setMapNames(const QStringList &names)
{
    const QSignalBlocker quiet(m_table);
    m_table->setRowCount(int(names.size()));
    for (int row = 0; row < names.size(); ++row)
        m_table->setItem(row, 0, new QTableWidgetItem(names.at(row)));
}

int TWMapSelector::selectionIndex() const
{
    const int row = m_table->currentRow();
    return row >= 0 && row < m_table->rowCount() ? row : -1;
}

void TWMapSelector::setSelectionIndex(int index)
{
    m_quiet = true;
    if (index >= 0 && index < m_table->rowCount())
        m_table->setCurrentCell(index, 0);
    else
        m_table->clearSelection();
    m_quiet = false;
}

void TWMapSelector::mapSelectorOK(QObject *sender, int clickCount)
{
    if (sender == m_table && clickCount != 2)
        return;
    const int row = selectionIndex();
    if (isVisible())
        done(QDialog::Accepted);
    close();
    if (row >= 0)
        emit mapChosen(row);
}
