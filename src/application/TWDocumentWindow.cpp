#include "application/TWDocumentWindow.h"

#include "application/TWDocument.h"

#include <QCloseEvent>

TWDocumentWindow::TWDocumentWindow(TWDocument *document) : m_document(document)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TWDocumentWindow::closeEvent(QCloseEvent *event)
{
    if (m_document && !m_document->canCloseDocument()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_document)
        m_document->windowWillClose(this);
}

void TWDocumentWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        emit activationChanged();
}
