#include "application/DialogAlerts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
// Name filters match case-sensitively here: each letter takes either case
// ("*.[mM][mM][aA][pP]").
QString nameFilter(const QStringList &types)
{
    if (types.isEmpty())
        return QString();
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
    }
    patterns.removeDuplicates();
    return QStringLiteral("Thinkweb (%1)").arg(patterns.join(u' '));
}
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
    box.exec();
    const qsizetype index = made.indexOf(box.clickedButton());
    // Escape answers the second button, which is Cancel where there is one.
    return index >= 0 ? int(index) : int(std::min<qsizetype>(1, made.size() - 1));
}

QStringList DialogAlerts::runOpenPanel(const OpenPanelOptions &options)
{
    if (options.allowsMultipleSelection)
        return QFileDialog::getOpenFileNames(QApplication::activeWindow(), options.title,
                                             options.directory, nameFilter(options.fileTypes));
    const QString path =
        QFileDialog::getOpenFileName(QApplication::activeWindow(), options.title, options.directory,
                                     nameFilter(options.fileTypes));
    return path.isEmpty() ? QStringList() : QStringList{path};
}

std::optional<QString> DialogAlerts::runSavePanel(const SavePanelOptions &options)
{
    QString start = options.directory;
    if (!options.fileName.isEmpty())
        start = start.isEmpty() ? options.fileName : start + u'/' + options.fileName;
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), options.title,
                                                      start, nameFilter(options.fileTypes));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
