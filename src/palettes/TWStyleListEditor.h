#pragma once

#include "interface/KeyValueBinding.h"
#include "styles/TWStyle.h"
#include "support/Color.h"

#include <QAbstractTableModel>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>
#include <memory>
#include <optional>

class ColorWell;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class QTableView;
class QWidget;
class RoundedBox;
class TWStyleListEditor;

// The settings of the style picked in an editor, by "group.key"
// ("graphic.fillColor", "map.rainbowAngle"): controls bind to it like to
// any model, and a set writes the picked style itself.
class TWSelectedStyleSettings : public KeyValueBindable
{
    Q_OBJECT

public:
    using KeyValueBindable::KeyValueBindable;

    const std::shared_ptr<TWStyle> &style() const { return m_style; }
    // Every key the controls know is announced as changed.
    void setStyle(const std::shared_ptr<TWStyle> &style);
    QVariant valueForKey(const QString &key) const override;
    // An invalid value removes the key.
    void setValueForKey(const QVariant &value, const QString &key) override;
    // Announces every key of the style's groups.
    void announceAll();

private:
    std::shared_ptr<TWStyle> m_style;
};

// The table of an editor: the working list, name in column 0 (edited in
// place), and for graphic styles the default tick in column 1.
class TWStyleListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TWStyleListModel(TWStyleListEditor *editor);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void reload();

private:
    TWStyleListEditor *m_editor;
};

// Remembers the name editor it opened, so that OK can commit a name that is
// still being typed.
class TWStyleNameDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    TWStyleNameDelegate(TWStyleListEditor *editor, QObject *parent);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // Writes the open editor's text into the model; false when none is open.
    bool commitOpenEditor(QAbstractItemModel *model);
    QWidget *openEditor() const { return m_openEditor; }

private:
    TWStyleListEditor *m_editor;
    mutable QPointer<QWidget> m_openEditor;
    mutable QPersistentModelIndex m_openIndex;
};

// What both style editors share: a non-modal window over a working list of
// copies of the library's styles of one kind. The controls edit the copies;
// OK hands the list to the library, Cancel throws it away, so nothing the
// library holds changes before OK.
class TWStyleListEditor : public QObject
{
    Q_OBJECT

public:
    enum Column { NameColumn = 0, DefaultColumn = 1 };

    TWStyleListEditor(int styleType, QObject *parent = nullptr);
    ~TWStyleListEditor() override;

    int styleType() const { return m_styleType; }
    // Made on first use.
    QWidget *window();
    QTableView *tableView();
    TWSelectedStyleSettings *settings() const { return m_settings; }

    // The working list (sorted by name, ignoring case); empty while closed.
    const QList<std::shared_ptr<TWStyle>> &styles() const { return m_styles; }
    bool isOpen() const { return m_open; }
    // A fresh list from the library (dropping any open one), window in front.
    void showEditor();
    // Shows the editor with the entry of the style's identifier selected.
    void editStyle(const std::shared_ptr<TWStyle> &style);

    QList<std::shared_ptr<TWStyle>> selectedStyles() const;
    // The one selected style; null with none or several.
    std::shared_ptr<TWStyle> selectedStyle() const;
    void selectStyles(const QList<std::shared_ptr<TWStyle>> &styles);
    int rowOfStyle(const TWStyle *style) const;

    // --- actions ---
    // Commits a name being typed, replaces the library's styles of this kind
    // by the list and closes. A write failure is reported.
    bool ok();
    void cancel();
    void addNewStyle();
    // "Name (Copy)" of each selected style, with its settings copied.
    void duplicate();
    // Only with exactly one style selected.
    virtual void setAsDefault() = 0;
    virtual void editOutlineNumberingFormat() = 0;
    // Starts editing the selected row's name.
    void editSelectedRow();
    // Takes a style out of the list (the window's remove button).
    void removeSelectedStyles();

    // Whether the row's style is the default (and needs a tick).
    virtual bool isDefaultStyle(const TWStyle &style) const;
    // The tick of the default column: none off the default row, white on the
    // selected row, black elsewhere.
    std::optional<QColor> defaultTickColor(int row) const;
    static QImage tickImage(const QColor &color);
    // A name edited in the table; the list is sorted again.
    void renameStyle(int row, const QString &name);

signals:
    void stylesChanged();

protected:
    // A copy of the settings for a duplicate (the graphic editor copies
    // through XML).
    virtual OrderedDictionary copiedProperties(const TWStyle &style) const;
    // The settings controls below the table.
    virtual void buildSettings(QWidget *window, QBoxLayout *layout) = 0;
    // Buttons of the kind beside Add, Duplicate and Set as Default.
    virtual void addButtons(QWidget *window, QBoxLayout *row);
    QPushButton *addButton(QWidget *parent, QBoxLayout *row, const char *title,
                           std::function<void()> action);
    static void styleBox(RoundedBox *box, const Color &border);
    // Controls that show and edit one "group.key" of the picked style; each
    // follows the pick and is disabled without one.
    QCheckBox *checkBox(QWidget *parent, const char *title, const QString &key);
    QDoubleSpinBox *numberField(QWidget *parent, const QString &key, double minimum, double maximum,
                                int decimals = 1);
    // Items carry the values they write.
    QComboBox *popUp(QWidget *parent, const QString &key,
                     const QList<std::pair<QString, int>> &items);
    ColorWell *colorWell(QWidget *parent, const QString &key);
    // Runs `show` now and whenever the key or the pick changes.
    void follow(QWidget *control, const QString &key, std::function<void(const QVariant &)> show);
    void sortAndReload();
    void selectionChanged();

private:
    void dropList();

    int m_styleType;
    bool m_open = false;
    QList<std::shared_ptr<TWStyle>> m_styles;
    QPointer<QWidget> m_window;
    QPointer<QTableView> m_table;
    TWStyleListModel *m_model = nullptr;
    TWStyleNameDelegate *m_delegate = nullptr;
    TWSelectedStyleSettings *m_settings = nullptr;
};
