#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QPlainTextEdit;
class TWHyperlink;

// The one editor of hyperlinks: by the link's kind it runs the open panel
// (files), the web-address panel, or shows the panel of a map address, a
// map file or a mail message, whose fields write to the link as they change.
class TWHyperlinkEditor : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void()>;
    // Asks for a web address; nothing when cancelled.
    using URLGetter = std::function<std::optional<QString>(const std::optional<QString> &url)>;

    static TWHyperlinkEditor &sharedEditor();
    // Edits `link` in the shared editor. `onOK` runs once the user confirms
    // the link: at once after an accepted file or address panel, or when the
    // OK of the kind's panel is pressed; never after a cancel or a close.
    static void edit(const std::shared_ptr<TWHyperlink> &link, Completion onOK = {});

    TWHyperlinkEditor();
    ~TWHyperlinkEditor() override;

    void editLink(const std::shared_ptr<TWHyperlink> &link, Completion onOK = {});
    const std::shared_ptr<TWHyperlink> &hyperlink() const { return m_hyperlink; }

    void displayEditPanel();
    // Closes the three panels; a pending confirmation is dropped.
    void closeAllPanels();
    // The open panel for a file (any file, or only documents of this
    // program); true when one was chosen and stored.
    bool editFile();
    bool chooseTWFile();
    bool editURL();
    // The OK of a panel: commits the typing, closes it and confirms the link.
    void ok(QDialog *panel);

    QDialog *emailPanel() const { return m_emailPanel; }
    QDialog *thinkwebFilePanel() const { return m_thinkwebFilePanel; }
    QDialog *thinkwebURLPanel() const { return m_thinkwebURLPanel; }
    // The panel that shows now, or null.
    QDialog *visiblePanel() const;

    void setURLGetter(URLGetter getter) { m_urlGetter = std::move(getter); }

private:
    struct Field
    {
        QString key;
        QPointer<QLineEdit> line;
        QPointer<QPlainTextEdit> text;
    };
    QDialog *makePanel(const QString &name, const QString &title,
                       const QList<std::pair<QString, QString>> &fields, bool multiline,
                       bool chooseButton);
    void loadFields(QDialog *panel);
    bool runFilePanel(const QStringList &types);
    void confirm();

    QPointer<QDialog> m_emailPanel;
    QPointer<QDialog> m_thinkwebFilePanel;
    QPointer<QDialog> m_thinkwebURLPanel;
    QHash<QDialog *, QList<Field>> m_fields;
    std::shared_ptr<TWHyperlink> m_hyperlink;
    Completion m_pending;
    URLGetter m_urlGetter;
    bool m_loading = false;
};
