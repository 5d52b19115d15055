#include "palettes/TWHyperlinkEditor.h"

#include "interface/TWURLGetter.h"
#include "model/TWHyperlink.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}
const QString LinkURL = QStringLiteral("linkURL");
const QString LinkArg = QStringLiteral("linkArg");
const QString LinkArg2 = QStringLiteral("linkArg2");
} // namespace

TWHyperlinkEditor &TWHyperlinkEditor::sharedEditor()
{
    static QPointer<TWHyperlinkEditor> shared;
    if (!shared) {
        shared = new TWHyperlinkEditor;
        shared->setParent(qApp);
        // Its panels must go while the application still runs.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, shared, &QObject::deleteLater);
    }
    return *shared;
}

void TWHyperlinkEditor::edit(const std::shared_ptr<TWHyperlink> &link, Completion onOK)
{
    sharedEditor().editLink(link, std::move(onOK));
}

TWHyperlinkEditor::TWHyperlinkEditor()
{
    m_thinkwebURLPanel = makePanel(
        QStringLiteral("thinkwebURLPanel"), dadoZiz("Thinkweb Map at an Address"),
        {{LinkURL, dadoZiz("Address:")}, {LinkArg, dadoZiz("Branch to find:")}}, false, false);
    m_thinkwebFilePanel = makePanel(
        QStringLiteral("thinkwebFilePanel"), dadoZiz("Thinkweb File"),
        {{LinkURL, dadoZiz("File:")}, {LinkArg, dadoZiz("Branch to find:")}}, false, true);
    m_emailPanel =
        makePanel(QStringLiteral("emailPanel"), dadoZiz("Mail Message"),
                  {{LinkURL, dadoZiz("To:")}, {LinkArg, dadoZiz("Subject:")}}, true, false);
    m_urlGetter = [](const std::optional<QString> &url) {
        return TWURLGetter::sharedURLGetter().runWithURL(url);
    };
}

TWHyperlinkEditor::~TWHyperlinkEditor()
{
    m_fields.clear();
    delete m_thinkwebURLPanel;
    delete m_thinkwebFilePanel;
    delete m_emailPanel;
}

QDialog *TWHyperlinkEditor::makePanel(const QString &name, const QString &title,
                                      const QList<std::pair<QString, QString>> &fields,
                                      bool multiline, bool chooseButton)
{
    auto *panel = new QDialog;
    panel->setObjectName(name);
    panel->setWindowTitle(title);
    panel->setModal(false);
    auto *layout = new QVBoxLayout(panel);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    QList<Field> bound;
    for (const auto &[key, label] : fields) {
        auto *line = new QLineEdit(panel);
        line->setObjectName(key);
        line->setMinimumWidth(280);
        connect(line, &QLineEdit::textChanged, this, [this, key = key](const QString &text) {
            if (!m_loading && m_hyperlink)
                m_hyperlink->setValueForKey(text, key);
        });
        if (chooseButton && key == LinkURL) {
            auto *row = new QHBoxLayout;
            row->addWidget(line, 1);
            auto *choose = new QPushButton(dadoZiz("Choose..."), panel);
            choose->setObjectName(QStringLiteral("chooseTWFile"));
            connect(choose, &QPushButton::clicked, this, [this] { chooseTWFile(); });
            row->addWidget(choose);
            form->addRow(label, row);
        } else {
            form->addRow(label, line);
        }
        bound.append({key, line, nullptr});
    }
    if (multiline) {
        auto *body = new QPlainTextEdit(panel);
        body->setObjectName(LinkArg2);
        connect(body, &QPlainTextEdit::textChanged, this, [this, body] {
            if (!m_loading && m_hyperlink)
                m_hyperlink->setValueForKey(body->toPlainText(), LinkArg2);
        });
        layout->addWidget(body, 1);
        bound.append({LinkArg2, nullptr, body});
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, panel);
    buttons->button(QDialogButtonBox::Ok)->setText(TWLocalizedString(StringTable::General, "OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this, panel] { ok(panel); });
    // Closing a panel any other way drops the confirmation it waited for.
    connect(panel, &QDialog::rejected, this, [this] { m_pending = nullptr; });
    layout->addWidget(buttons);
    m_fields.insert(panel, bound);
    return panel;
}

void TWHyperlinkEditor::loadFields(QDialog *panel)
{
    m_loading = true;
    for (const Field &field : m_fields.value(panel)) {
        const QString value = m_hyperlink->valueForKey(field.key).toString();
        if (field.line)
            field.line->setText(value);
        if (field.text)
            field.text->setPlainText(value);
    }
    m_loading = false;
}

void TWHyperlinkEditor::editLink(const std::shared_ptr<TWHyperlink> &link, Completion onOK)
{
    closeAllPanels();
    m_hyperlink = link;
    m_pending = std::move(onOK);
    displayEditPanel();
}

void TWHyperlinkEditor::closeAllPanels()
{
    m_pending = nullptr;
    for (QDialog *panel :
         {m_thinkwebURLPanel.data(), m_thinkwebFilePanel.data(), m_emailPanel.data()})
        if (panel)
            panel->hide();
}

QDialog *TWHyperlinkEditor::visiblePanel() const
{
    for (QDialog *panel :
         {m_thinkwebURLPanel.data(), m_thinkwebFilePanel.data(), m_emailPanel.data()})
        if (panel && panel->isVisible())
            return panel;
    return nullptr;
}

void TWHyperlinkEditor::displayEditPanel()
{
    // The confirmation belongs to this showing only.
    Completion pending = std::move(m_pending);
    closeAllPanels();
    if (!m_hyperlink)
        return;
    QDialog *panel = nullptr;
    switch (m_hyperlink->linkType()) {
    case TWHyperlink::LocalFile:
        if (editFile() && pending)
            pending();
        return;
    case TWHyperlink::URL:
        if (editURL() && pending)
            pending();
        return;
    case TWHyperlink::ThinkwebURL:
        panel = m_thinkwebURLPanel;
        break;
    case TWHyperlink::ThinkwebFile:
        panel = m_thinkwebFilePanel;
        break;
    case TWHyperlink::EMail:
        panel = m_emailPanel;
        break;
    default:
        qWarning("Unknown hyperlink type: %i", m_hyperlink->linkType());
        return;
    }
    m_pending = std::move(pending);
    loadFields(panel);
    panel->show();
    panel->raise();
    panel->activateWindow();
}

bool TWHyperlinkEditor::runFilePanel(const QStringList &types)
{
    if (!m_hyperlink)
        return false;
    Alerts::OpenPanelOptions options;
    options.title = dadoZiz("Select File");
    options.fileTypes = types;
    const QStringList paths = Alerts::current().runOpenPanel(options);
    if (paths.isEmpty())
        return false;
    m_hyperlink->setValueForKey(paths.first(), LinkURL);
    return true;
}

bool TWHyperlinkEditor::editFile()
{
    return runFilePanel({});
}

bool TWHyperlinkEditor::chooseTWFile()
{
    // The panel's types match case-sensitively here.
    const bool chosen = runFilePanel({QStringLiteral("tweb"), QStringLiteral("TWEB")});
    if (chosen && m_thinkwebFilePanel)
        loadFields(m_thinkwebFilePanel);
    return chosen;
}

bool TWHyperlinkEditor::editURL()
{
    if (!m_hyperlink || !m_urlGetter)
        return false;
    const std::optional<QString> url = m_urlGetter(m_hyperlink->linkURL());
    if (!url)
        return false;
    m_hyperlink->setValueForKey(*url, LinkURL);
    return true;
}

void TWHyperlinkEditor::ok(QDialog *panel)
{
    if (!panel)
        return;
    // Typing is written as it happens; what remains is to close and confirm.
    Completion pending = std::move(m_pending);
    m_pending = nullptr;
    panel->hide();
    if (pending)
        pending();
}
