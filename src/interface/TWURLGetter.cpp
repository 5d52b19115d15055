#include "interface/TWURLGetter.h"

#include "platform/TWLocalizedString.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

TWURLGetter &TWURLGetter::sharedURLGetter()
{
    static TWURLGetter *shared = new TWURLGetter;
    return *shared;
}

TWURLGetter::TWURLGetter(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    setWindowTitle(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Web Address")));
    auto *layout = new QVBoxLayout(this);
    // The field alone does not say what it wants.
    auto *prompt = new QLabel(
        TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Enter the web address:")), this);
    prompt->setObjectName(QStringLiteral("prompt"));
    m_urlTextField = new QLineEdit(this);
    prompt->setBuddy(m_urlTextField);
    m_urlTextField->setMinimumWidth(360);
    auto *buttons = new QDialogButtonBox(this);
    m_cancelButton = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    m_okButton = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    m_okButton->setDefault(true);
    layout->addWidget(prompt);
    layout->addWidget(m_urlTextField);
    layout->addWidget(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &TWURLGetter::OK);
    connect(m_cancelButton, &QPushButton::clicked, this, &TWURLGetter::cancel);
}

void TWURLGetter::OK()
{
    m_actionTaken = 1;
    done(QDialog::Accepted);
}

void TWURLGetter::cancel()
{
    done(QDialog::Rejected);
}

QString TWURLGetter::addressForTypedText(const QString &typed)
{
    // A scheme is letters, digits, "+", "-" and "." before the first colon.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    if (scheme.match(typed).hasMatch())
        return typed;
    // Path, query and fragment all stay, unescaped, as typed.
    return QStringLiteral("http://") + typed;
}

std::optional<QString> TWURLGetter::runWithURL(const std::optional<QString> &url)
{
    m_actionTaken = 0;
    m_urlTextField->setText(url.value_or(QStringLiteral("http://")));
    m_okButton->setText(TWLocalizedString(StringTable::General, QStringLiteral("OK")));
    m_cancelButton->setText(TWLocalizedString(StringTable::General, QStringLiteral("Cancel")));
    m_urlTextField->setFocus();
    exec();
    hide();
    if (m_actionTaken == 0)
        return std::nullopt;
    return addressForTypedText(m_urlTextField->text());
}
