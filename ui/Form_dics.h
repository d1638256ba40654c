#ifndef UI_FORM_DICS_H
#define UI_FORM_DICS_H

#include <functional>
#include <string>

#include "ui/Dialog_window.h"

class QPushButton;
class QToolButton;
class QTreeWidget;
class Database;
class IniFile;

// Lists the loaded dictionaries and lets the user change the order in which they are consulted.
// Filled from the database when it is created and after each add or remove; the rows are the
// order being edited, and every close puts that order into the database and into DIC_ORDER. The
// dictionaries that were found but did not load follow, greyed, with the reason; they do not
// move. Escape closes the dialog, Alt+Up and Alt+Down move the selected row; no other key does
// anything, Enter included.
//
// "Добавить..." reads an installed dictionary (a .index or .ifo file, or a folder of them) at
// once and keeps its path in the settings; "Убрать" takes an added one away again.
class TDicsForm : public TDialogWindow
{
    Q_OBJECT

public:
    // Asks the user for a dictionary file or folder; empty when they chose none. Tests replace
    // it so that nothing blocks.
    using SourceChooser = std::function<QString(QWidget *parent)>;
    static SourceChooser chooseSource;
    // Tells the user something in a message box; tests replace it likewise.
    using Notice = std::function<void(QWidget *parent, const QString &text)>;
    static Notice tellUser;

    // database and settings, when given, must outlive the dialog. changed, when given, is
    // called after dictionaries were added or taken away.
    TDicsForm(Database *database, IniFile *settings, QWidget *parent = nullptr,
        std::function<void()> changed = nullptr);

    void FillList();
    // Move the selected row up or down by one.
    void SpeedButton1Click();
    void SpeedButton2Click();
    void AddButtonClick();
    void RemoveButtonClick();
    void FormClose();

    // done() is the one road every close takes (Escape, the close box, reject), so the order is
    // committed there, once per close.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    int SelectedRow() const;
    void SelectRow(int row);
    // The added path the row's dictionary was read from; empty for any other row.
    std::string AddedPathOf(int row) const;
    void UpdateRemoveButton();

    QTreeWidget *ListView1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QPushButton *AddButton;
    QPushButton *RemoveButton;
    Database *database;
    IniFile *settings;
    std::function<void()> changed;
    // Rows above this one are loaded dictionaries, the rest failures.
    int loadedRows = 0;
};

extern TDicsForm *DicsForm;

#endif // UI_FORM_DICS_H
