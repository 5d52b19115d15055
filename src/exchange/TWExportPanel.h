#pragma once

#include "exchange/TWExportController.h"

#include <QDialog>

class QCheckBox;
class QFileDialog;
class QListWidget;
class QPushButton;

// The save panel of the exports: a file chooser with the map list beside it
// (every map selected at first) and the settings of the format, which edit
// the user defaults directly. Save is enabled only while a map is selected.
class TWExportPanel : public QDialog
{
    Q_OBJECT

public:
    explicit TWExportPanel(const TWExportPanelRequest &request, QWidget *parent = nullptr);

    // Runs the panel modally; nothing when cancelled.
    static std::optional<TWExportPanelResult> run(const TWExportPanelRequest &request);

    QFileDialog *fileDialog() const { return m_files; }
    QListWidget *mapList() const { return m_maps; }
    QCheckBox *backgroundBox() const { return m_background; }
    QList<int> selectedRows() const;
    void selectAllMaps();
    // Whether the file chooser's Save button can be pressed.
    bool canSave() const;

private:
    QWidget *makeSettings(const TWExportPanelRequest &request);
    void updateSaveButton();

    QFileDialog *m_files = nullptr;
    QListWidget *m_maps = nullptr;
    QCheckBox *m_background = nullptr; // "Include map background", when offered
    QString m_chosen;
};
