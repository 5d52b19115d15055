#pragma once

#include "support/OrderedDictionary.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class QDialog;
class QPlainTextEdit;
class QPrinter;
class TWDPrintSetupPanel;
class TWMap;
class TWPrintCanvasController;
class TWPrintDocument;
class TWPrintView;

// The Deluxe edition's print sheet: pages wide and high or one page, the
// four margins (automatic or manual), a frame, crop marks, header and footer
// with text, field codes and a picture, and whether the background prints.
// The sheet edits a copy of the current map's print setup dictionary; Print
// stores it in the map as one undo step and prints the window's print
// view, Cancel forgets it. A failed print is reported to the user.
//
// The sheet's controls read and write the copy through valueForKey() and
// setValueForKey(); valueChanged() tells them which key to reload.
class TWDPrintController : public QObject
{
    Q_OBJECT

public:
    // The one controller of the run.
    static TWDPrintController &shared();
    // Opens the shared controller's sheet on the document's window.
    static void printDocument(TWPrintDocument *document);

    TWDPrintController();
    ~TWDPrintController() override;

    // Opens the sheet for the document's current map; one sheet at a time.
    void open(TWPrintDocument *document);
    bool isOpen() const { return m_document != nullptr; }
    TWPrintDocument *document() const { return m_document; }
    // The sheet while it is open, else null.
    TWDPrintSetupPanel *sheet() const;

    // The sheet's buttons.
    void print();
    void cancel();

    // --- the copy the sheet edits ---
    const OrderedDictionary &printSetupDictionary() const { return m_setup; }
    // "printSetupDictionary", "pagesWide" and "pagesHigh" are the
    // controller's own; every other key is the dictionary's.
    QVariant valueForKey(const QString &key);
    // An invalid value removes the key. Margins follow unless they are manual.
    void setValueForKey(const QVariant &value, const QString &key);
    // Every key read or written through the controller, in first-use order.
    const QStringList &keys() const { return m_keys; }
    // 1 when the map is scaled to one page; otherwise the pages the map
    // needs with the sheet's settings.
    int pagesWide() const;
    int pagesHigh() const;

    // --- automatic margins ---
    struct Margins
    {
        int left = 0, right = 0, top = 0, bottom = 0;
        friend bool operator==(const Margins &, const Margins &) = default;
    };
    // The margins the frame, header, footer, their pictures and the crop
    // marks need; nothing when the margins are manual.
    static std::optional<Margins> automaticMargins(const OrderedDictionary &setup);
    void updateAutomaticMargins();

    // --- field codes ---
    // Types the code of the tag (1 to 15) into the text view; tag 0 is
    // logged, other tags insert nothing.
    static void insertFieldWithTag(int tag, QPlainTextEdit *textView);

    // Prints into this PDF file instead of asking for a printer; empty asks.
    void setPDFOutputPath(const QString &path) { m_pdfOutputPath = path; }

signals:
    void valueChanged(const QString &key);
    // After each print operation; the failure has been reported by then.
    void printOperationDidRun(bool success);

private:
    void setDictionary(const OrderedDictionary &setup);
    void noteKey(const QString &key);
    void pageCountsChanged();
    void closeSheet();
    void cleanUp();
    void runPrintOperation(TWPrintDocument *document, bool printBackground);
    void printOperationFinished(bool success, const QString &error);

    TWPrintDocument *m_document = nullptr;
    OrderedDictionary m_setup;
    QStringList m_keys;
    QPointer<TWDPrintSetupPanel> m_sheet;
    QString m_pdfOutputPath;
};
