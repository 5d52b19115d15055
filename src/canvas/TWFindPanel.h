#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class TWFindController;

// Draws a result's preview: the context small, the hit large and bold.
class TWFindPreviewDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The find panel: what to find and what to put in its place, where to look
// and whether case matters, the list of hits and the buttons that walk and
// replace them. Not modal; the controller keeps it.
class TWFindPanel : public QDialog
{
    Q_OBJECT

public:
    explicit TWFindPanel(TWFindController *controller, QWidget *parent = nullptr);

    QLineEdit *findField() const { return m_find; }
    QLineEdit *replaceField() const { return m_replace; }
    QComboBox *scopeMenu() const { return m_scope; }
    QCheckBox *ignoreCaseBox() const { return m_ignoreCase; }
    QTableView *resultsTable() const { return m_table; }
    QPushButton *button(const QString &name) const;
    // Sends what the find field holds now, without waiting for the pause.
    void commitFindField();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void readDefaults();

    TWFindController *m_controller;
    QLineEdit *m_find;
    QLineEdit *m_replace;
    QComboBox *m_scope;
    QCheckBox *m_ignoreCase;
    QTableView *m_table;
    QTimer m_findDelay;
};

// The spelling panel: the misspelled word, the checker's guesses, and
// Change, Find Next and Ignore.
class TWSpellingPanel : public QDialog
{
    Q_OBJECT

public:
    explicit TWSpellingPanel(TWFindController *controller, QWidget *parent = nullptr);

    void setMisspelledWord(const QString &word);
    QString misspelledWord() const { return m_word; }
    QLineEdit *correctionField() const { return m_correction; }
    QListWidget *guessList() const { return m_guesses; }
    QPushButton *button(const QString &name) const;

private:
    TWFindController *m_controller;
    QString m_word;
    QLineEdit *m_correction;
    QListWidget *m_guesses;
};
