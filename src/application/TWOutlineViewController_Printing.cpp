#include "application/TWOutlineViewController.h"

#include "exchange/TWExportController.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"
#include "support/AttributedStringDocument.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

std::optional<AttributedString> TWOutlineViewController::printText() const
{
    TWMap *map = currentMap();
    if (!map || !map->root())
        return std::nullopt;
    return TWExportController::sharedExportController().textViewOfType(0, *map);
}

void TWOutlineViewController::updatePrintPreview()
{
    if (!m_printTextView)
        return;
    const std::optional<AttributedString> text = printText();
    AttributedStringDocument::setDocumentText(*m_printTextView->document(),
                                              text ? *text : AttributedString());
}

void TWOutlineViewController::showPrintPanel()
{
    if (!m_printPanel) {
        m_printPanel = new QDialog(m_window);
        m_printPanel->setWindowTitle(TWLocalizedString("DadoZiz", QStringLiteral("Print Outline")));
        m_printPanel->setWindowModality(Qt::WindowModal);
        m_printPanel->resize(420, 480);
        auto *layout = new QVBoxLayout(m_printPanel);
        m_printTextView = new QTextEdit;
        m_printTextView->setReadOnly(true);
        layout->addWidget(m_printTextView);
        auto *orientation = new QComboBox;
        orientation->setObjectName(QStringLiteral("printOrientation"));
        orientation->addItem(TWLocalizedString("DadoZiz", QStringLiteral("Portrait")));
        orientation->addItem(TWLocalizedString("DadoZiz", QStringLiteral("Landscape")));
        orientation->setCurrentIndex(m_printOrientation == 1 ? 1 : 0);
        connect(orientation, &QComboBox::currentIndexChanged, this,
                [this](int index) { m_printOrientation = index; });
        layout->addWidget(orientation);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
        QPushButton *print = buttons->addButton(
            TWLocalizedString("DadoZiz", QStringLiteral("Print...")), QDialogButtonBox::AcceptRole);
        print->setDefault(true);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, m_printPanel, &QDialog::reject);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] {
            m_printPanel->accept();
            QPrinter printer(QPrinter::HighResolution);
            QPrintDialog dialog(&printer, m_window);
            if (dialog.exec() == QDialog::Accepted)
                printOutline(printer);
        });
    }
    updatePrintPreview();
    m_printPanel->open();
}

bool TWOutlineViewController::printOutline(QPrinter &printer)
{
    const std::optional<AttributedString> text = printText();
    if (!text)
        return false;
    printer.setPageOrientation(m_printOrientation == 1 ? QPageLayout::Landscape
                                                       : QPageLayout::Portrait);
    QTextDocument document;
    AttributedStringDocument::setDocumentText(document, *text);
    document.print(&printer);
    return true;
}
