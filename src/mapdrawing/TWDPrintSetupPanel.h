#pragma once

#include "support/AttributedString.h"

#include <QDialog>
#include <QHash>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TWDPrintController;

// The Deluxe print sheet's window: controls bound to the controller's keys.
// Opened window-modally on the document window.
class TWDPrintSetupPanel : public QDialog
{
    Q_OBJECT

public:
    TWDPrintSetupPanel(TWDPrintController *controller, QWidget *window);

    // Commits what is being typed (the text views commit as they change).
    void commitEditing();

    // The controls, by dictionary key (and "pagesWide", "pagesHigh").
    QWidget *control(const QString &key) const { return m_controls.value(key); }
    QPlainTextEdit *headerTextView() const { return m_headerText; }
    QPlainTextEdit *footerTextView() const { return m_footerText; }
    QComboBox *headerFieldMenu() const { return m_headerFields; }
    QComboBox *footerFieldMenu() const { return m_footerFields; }
    QPushButton *printButton() const { return m_print; }
    QPushButton *cancelButton() const { return m_cancel; }

    // The text as edited, keeping the attributes of what was not retyped.
    static AttributedString editedText(const AttributedString &old, const QString &text);

private:
    QCheckBox *check(const QString &key, const QString &title);
    QDoubleSpinBox *number(const QString &key, double maximum);
    QComboBox *alignment(const QString &key);
    QPlainTextEdit *textView(const QString &key);
    QComboBox *fieldMenu(QPlainTextEdit *target);
    QWidget *pictureButtons(const QString &key);
    void reload(const QString &key);
    void chooseFrameColor();
    void runPageSetup();

    TWDPrintController *m_controller;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, std::function<void()>> m_reloaders;
    QPlainTextEdit *m_headerText = nullptr;
    QPlainTextEdit *m_footerText = nullptr;
    QComboBox *m_headerFields = nullptr;
    QComboBox *m_footerFields = nullptr;
    QPushButton *m_print = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_reloading = false;
};
