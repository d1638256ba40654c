#ifndef UI_FORM_DICS_H
#define UI_FORM_DICS_H

#include <QDialog>

class QToolButton;
class QTreeWidget;

// Lists the loaded dictionaries and lets the user change the order in which they are consulted.
// Filled once, from Form1's Database, when it is created; the rows are the order being edited,
// and every close hands that order to the main window and to DIC_ORDER.
class TDicsForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDicsForm(QWidget *parent = nullptr);

    void FillList();
    // Move the selected row up or down by one.
    void SpeedButton1Click();
    void SpeedButton2Click();
    // Escape (27) closes the dialog; other keys are left alone.
    void FormKeyPress(char16_t key);
    void FormClose();

    // done() is the one road every close takes (Escape, the close box, reject), so the order is
    // committed there, once per close.
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    int SelectedRow() const;
    void SelectRow(int row);

    QTreeWidget *ListView1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
};

extern TDicsForm *DicsForm;

#endif // UI_FORM_DICS_H
