#ifndef UI_FORM_DICS_H
#define UI_FORM_DICS_H

#include "ui/Dialog_window.h"

class QToolButton;
class QTreeWidget;
class Database;
class IniFile;

// Lists the loaded dictionaries and lets the user change the order in which they are consulted.
// Filled once, from the database, when it is created; the rows are the order being edited, and
// every close puts that order into the database and into DIC_ORDER. Escape closes the dialog; no
// other key does anything, Enter included.
class TDicsForm : public TDialogWindow
{
    Q_OBJECT

public:
    // database and settings, when given, must outlive the dialog.
    TDicsForm(Database *database, IniFile *settings, QWidget *parent = nullptr);

    void FillList();
    // Move the selected row up or down by one.
    void SpeedButton1Click();
    void SpeedButton2Click();
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

    QTreeWidget *ListView1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    Database *database;
    IniFile *settings;
};

extern TDicsForm *DicsForm;

#endif // UI_FORM_DICS_H
