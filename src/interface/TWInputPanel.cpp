#include "interface/TWInputPanel.h"

#include "platform/TWLocalizedString.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TWInputPanel &TWInputPanel::sharedInputPanel()
{
    // Never destroyed: its window must not outlive the application object.
    static TWInputPanel *shared = new TWInputPanel;
    return *shared;
}

TWInputPanel::TWInputPanel() = default;

TWInputPanel::~TWInputPanel()
{
    delete m_panel;
}

QDialog *TWInputPanel::panel()
{
    if (m_panel)
        return m_panel;
    m_panel = new QDialog;
    m_panel->setObjectName(QStringLiteral("TWInputPanel"));
    m_panel->setMinimumWidth(320);
    auto *layout = new QVBoxLayout(m_panel);
    m_field = new QLineEdit;
    layout->addWidget(m_field);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    m_cancel = new QPushButton(TWLocalizedString(StringTable::General, QStringLiteral("Cancel")));
    m_ok = new QPushButton(TWLocalizedString(StringTable::General, QStringLiteral("OK")));
    m_ok->setDefault(true);
    row->addWidget(m_cancel);
    row->addWidget(m_ok);
    layout->addLayout(row);
    connect(m_ok, &QPushButton::clicked, this, &TWInputPanel::ok);
    connect(m_cancel, &QPushButton::clicked, this, &TWInputPanel::cancel);
    // Escape and closing the window cancel.
    connect(m_panel, &QDialog::rejected, this, [this] { m_returnCode = Cancel; });
    return m_panel;
}

int TWInputPanel::runInputPanelWithTitle(const QString &title, const QString &string)
{
    QDialog *dialog = panel();
    m_inputString = string;
    m_panelTitle = title;
    dialog->setWindowTitle(title);
    m_field->setText(string);
    m_field->selectAll();
    m_field->setFocus();
    m_returnCode = Cancel;
    dialog->adjustSize();
    if (const QScreen *screen = dialog->screen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
    return m_returnCode;
}

void TWInputPanel::ok()
{
    m_returnCode = OK;
    if (m_field)
        m_inputString = m_field->text();
    if (m_inputString.isEmpty())
        return;
    if (m_panel)
        m_panel->done(QDialog::Accepted);
}

void TWInputPanel::cancel()
{
    m_returnCode = Cancel;
    if (m_panel)
        m_panel->done(QDialog::Rejected);
}
