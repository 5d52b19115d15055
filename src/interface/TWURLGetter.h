#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

// Asks for a web address in a modal panel.
class TWURLGetter : public QDialog
{
    Q_OBJECT

public:
    static TWURLGetter &sharedURLGetter();

    explicit TWURLGetter(QWidget *parent = nullptr);

    // Shows `url` ("http://" when none) for editing. Nothing when cancelled;
    // otherwise the typed address, with "http://" put before one that names
    // no scheme.
    std::optional<QString> runWithURL(const std::optional<QString> &url);
    static QString addressForTypedText(const QString &typed);

    QPushButton *okButton() const { return m_okButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QLineEdit *urlTextField() const { return m_urlTextField; }

public slots:
    void OK();
    void cancel();

private:
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QLineEdit *m_urlTextField = nullptr;
    int m_actionTaken = 0;
};
