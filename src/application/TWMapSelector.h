#pragma once

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTableWidget;

// The Compact edition's modal choice of the map a window shows: a table of
// the document's maps in which each selected row is shown at once behind
// the selector; a double click or OK ends the choice.
class TWMapSelector : public QDialog
{
    Q_OBJECT

public:
    explicit TWMapSelector(QWidget *parent = nullptr);

    void setMapNames(const QStringList &names);
    // The chosen row (the array controller's selection index); -1 for none.
    int selectionIndex() const;
    void setSelectionIndex(int index);
    QTableWidget *tableView() const { return m_table; }
    QPushButton *okButton() const { return m_ok; }

    // A click in the table ends the choice only as the second of a double
    // click; the OK button ends it at once.
    void mapSelectorOK(QObject *sender, int clickCount);

signals:
    // A row was chosen in the table (shown at once).
    void rowSelected(int row);
    // The choice ended with this row.
    void mapChosen(int row);

private:
    QTableWidget *m_table = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_quiet = false;
};
