#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>

// A modal panel that asks for one non-empty text under a title. Its result
// is 0 after OK and 1 after Cancel.
class TWInputPanel : public QObject
{
    Q_OBJECT

public:
    enum Result { OK = 0, Cancel = 1 };

    static TWInputPanel &sharedInputPanel();
    TWInputPanel();
    ~TWInputPanel() override;

    // Shows the title and the initial text (empty for none) and runs the
    // panel until OK with some text, or Cancel.
    int runInputPanelWithTitle(const QString &title, const QString &string = QString());
    QString inputString() const { return m_inputString; }
    QString panelTitle() const { return m_panelTitle; }
    int returnCode() const { return m_returnCode; }

    // Made on first use.
    QDialog *panel();
    QLineEdit *textField() const { return m_field; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

    // OK stays without effect while the text is empty.
    void ok();
    void cancel();

private:
    QPointer<QDialog> m_panel;
    QPointer<QLineEdit> m_field;
    QPointer<QPushButton> m_ok;
    QPointer<QPushButton> m_cancel;
    QString m_inputString;
    QString m_panelTitle;
    int m_returnCode = Cancel;
};
