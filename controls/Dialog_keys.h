#ifndef CONTROLS_DIALOG_KEYS_H
#define CONTROLS_DIALOG_KEYS_H

class QWidget;

// Makes `form` offer the keys its controls leave alone to its TGradButtons, in focus-chain order,
// until one takes the key: Enter/Return and Escape that the focused control did not consume, and
// accelerator characters (Alt+character anywhere in the form, a plain character while the focus is
// on a button). Call once per form; the routing goes with the form.
void InstallDialogKeys(QWidget *form);

#endif // CONTROLS_DIALOG_KEYS_H
