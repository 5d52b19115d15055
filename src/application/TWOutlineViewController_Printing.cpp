#include "application/TWOutlineViewController.h"

#include "exchange/TWExportController.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
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

namespace {
// The outline as indented plain text, for when the export gives none.
AttributedString plainOutline(const TWMapBranch &root)
{
    UserDefaults &d = UserDefaults::standard();
    const bool notes = d.boolForKey(QStringLiteral("ExportTextIncludeBranchNotes"));
    const bool hidden = d.boolForKey(QStringLiteral("ExportTextIncludeHiddenText"));
    QString text;
    std::function<void(const TWMapBranch &, int)> write = [&](const TWMapBranch &b, int level) {
        if (!hidden && b.hidden())
            return;
        const QString indent(level, QLatin1Char('\t'));
        const std::shared_ptr<TWTextArea> &area = b.enclosedTextArea();
        QString label = area ? area->outlineString() : QString();
        label.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += indent + label + QLatin1Char('\n');
        if (notes) {
            if (const auto n = b.primaryAttachedText(); n && !n->string().isEmpty())
                text += indent + QLatin1Char('\t') + n->string() + QLatin1Char('\n');
        }
        for (const auto &child : b.children())
            write(*child, level + 1);
    };
    write(root, 0);
    return AttributedString(text);
}
} // namespace

std::optional<AttributedString> TWOutlineViewController::printText() const
{
    TWMap *map = currentMap();
    if (!map || !map->root())
        return std::nullopt;
    if (std::optional<AttributedString> text =
            TWExportController::sharedExportController().textViewOfType(0, *map))
        return text;
    return plainOutline(*map->root());
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
