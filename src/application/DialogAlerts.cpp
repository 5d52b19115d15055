#include "application/DialogAlerts.h"

#include "application/TWSaveProgress.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace {
// Each question as it is shown ("thinkweb.alerts.debug=true" in QT_LOGGING_RULES).
Q_LOGGING_CATEGORY(lcAlerts, "thinkweb.alerts", QtWarningMsg)

// Name filters match case-sensitively here, so each letter takes either case
// ("*.[mM][mM][aA][pP]"). The user is shown the plain patterns: the dialog
// hides a filter's last parenthesised list, the one it matches with.
QString nameFilter(const QStringList &types)
{
    if (types.isEmpty())
        return QString();
    QStringList shown;
    QStringList patterns;
    for (const QString &type : types) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : type) {
            if (c.toLower() != c.toUpper())
                pattern += u'[' + c.toLower() + c.toUpper() + u']';
            else
                pattern += c;
        }
        patterns << pattern;
        shown << QStringLiteral("*.") + type.toLower();
    }
    patterns.removeDuplicates();
    shown.removeDuplicates();
    const bool documents = std::all_of(types.cbegin(), types.cend(), [](const QString &type) {
        return type.compare(u"tweb", Qt::CaseInsensitive) == 0;
    });
    const QString name = documents ? QStringLiteral("Thinkweb") : QStringLiteral("Readable files");
    return QStringLiteral("%1 (%2) (%3)").arg(name, shown.join(u' '), patterns.join(u' '));
}

const QFileDialog::Options PanelOptions = QFileDialog::HideNameFilterDetails;

// An open panel in which folders of the package types are documents: chosen
// by Open, by their typed name or by a double click, never entered. The
// desktop's own dialogs cannot do this, so the panel is Qt's.
class PackageOpenPanel : public QFileDialog
{
public:
    PackageOpenPanel(const Alerts::OpenPanelOptions &options)
        : QFileDialog(QApplication::activeWindow(), options.title, options.directory,
                      nameFilter(options.fileTypes)),
          m_packageTypes(options.packageTypes)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::HideNameFilterDetails);
        setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                    : QFileDialog::ExistingFile);
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString &path) {
            if (!isPackage(path))
                return;
            setDirectory(QFileInfo(path).absolutePath());
            choose({QFileInfo(path).absoluteFilePath()});
        });
    }

    QStringList chosen() const { return m_chosen; }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && std::all_of(files.cbegin(), files.cend(),
                                            [this](const QString &f) { return isPackage(f); })) {
            choose(files);
            return;
        }
        QFileDialog::accept();
        if (result() == QDialog::Accepted)
            m_chosen = selectedFiles();
    }

private:
    bool isPackage(const QString &path) const
    {
        const QFileInfo info(path);
        return info.isDir() &&
               std::any_of(m_packageTypes.cbegin(), m_packageTypes.cend(),
                           [&info](const QString &type) {
                               return info.suffix().compare(type, Qt::CaseInsensitive) == 0;
                           });
    }
    void choose(const QStringList &files)
    {
        m_chosen = files;
        QDialog::accept();
    }

    QStringList m_packageTypes;
    QStringList m_chosen;
};

} // namespace

void DialogAlerts::beep()
{
    QApplication::beep();
}

int DialogAlerts::runAlertPanel(const QString &title, const QString &message,
                                const QStringList &buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setText(title);
    box.setInformativeText(message);
    QList<QAbstractButton *> made;
    const QStringList names = buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : buttons;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QPushButton *button =
            box.addButton(names.at(i), i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        made << button;
        if (i == 0)
            box.setDefaultButton(button);
    }
    qCDebug(lcAlerts).noquote() << "Asking:" << title;
    box.exec();
    if (questionsEnded())
        return Unanswered;
    const qsizetype index = made.indexOf(box.clickedButton());
    // Escape answers the second button, which is Cancel where there is one.
    return index >= 0 ? int(index) : int(std::min<qsizetype>(1, made.size() - 1));
}

QStringList DialogAlerts::runOpenPanel(const OpenPanelOptions &options)
{
    QStringList paths;
    if (!options.packageTypes.isEmpty()) {
        PackageOpenPanel panel(options);
        if (panel.exec() == QDialog::Accepted)
            paths = panel.chosen();
    } else if (options.allowsMultipleSelection) {
        paths = QFileDialog::getOpenFileNames(QApplication::activeWindow(), options.title,
                                              options.directory, nameFilter(options.fileTypes),
                                              nullptr, PanelOptions);
    } else {
        const QString path = QFileDialog::getOpenFileName(
            QApplication::activeWindow(), options.title, options.directory,
            nameFilter(options.fileTypes), nullptr, PanelOptions);
        if (!path.isEmpty())
            paths << path;
    }
    return questionsEnded() ? QStringList() : paths;
}

std::optional<QString> DialogAlerts::runSavePanel(const SavePanelOptions &options)
{
    QString start = options.directory;
    if (!options.fileName.isEmpty())
        start = start.isEmpty() ? options.fileName : start + u'/' + options.fileName;
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), options.title,
                                                      start, nameFilter(options.fileTypes), nullptr,
                                                      PanelOptions);
    if (path.isEmpty() || questionsEnded())
        return std::nullopt;
    return path;
}

void DialogAlerts::endShownQuestions()
{
    // Each dialog's exec returns once the event loops above it have; one
    // ended may take others with it.
    QList<QPointer<QDialog>> shown;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isModal())
            shown << dialog;
    for (const QPointer<QDialog> &dialog : std::as_const(shown))
        if (dialog && dialog != TWSaveProgress::runningSheet())
            dialog->done(QDialog::Rejected);
}
