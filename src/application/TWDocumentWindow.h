#pragma once

#include <QMainWindow>
#include <QPointer>

class TWDocument;

// The window of one document. Closing it asks the document first (unsaved
// changes); once it closes, the document tears its views down.
class TWDocumentWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit TWDocumentWindow(TWDocument *document);

    TWDocument *document() const { return m_document; }
    // The document's edited mark: the title's "*" and the close question.
    void setDocumentEdited(bool edited) { setWindowModified(edited); }

signals:
    // Active or inactive, key or not: the split view's colour follows.
    void activationChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QPointer<TWDocument> m_document;
};
