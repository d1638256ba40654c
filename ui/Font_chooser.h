#ifndef UI_FONT_CHOOSER_H
#define UI_FONT_CHOOSER_H

#include <cstdint>
#include <functional>

#include <QColor>
#include <QDialog>
#include <QFont>

#include "support/Font_keys.h"

class QComboBox;
class QFontDialog;
class QPushButton;

// A font dialog whose choice carries a colour as well: the face, size and effects come from the
// toolkit's font dialog embedded in it, the colour from a list of named colours or the colour
// dialog. It holds a FontDescription as its working copy.
class TFontChooser : public QDialog
{
    Q_OBJECT

public:
    // Lets the user choose; true when they confirmed. Tests replace it so that nothing blocks:
    // what it leaves in the chooser's controls is taken as the choice.
    using Runner = std::function<bool(TFontChooser &chooser)>;
    static Runner run;
    // Asks for a colour outside the list; an invalid colour means the user cancelled.
    using ColourPicker = std::function<QColor(QWidget *parent, const QColor &initial)>;
    static ColourPicker pickColour;

    // The controls are built when the chooser is first shown or asked for them: the font widget
    // lists every face of the desktop, too slow for a dialog that may never be opened.
    explicit TFontChooser(QWidget *parent = nullptr);

    void SetFont(const FontDescription &description) { font = description; }
    const FontDescription &Font() const { return font; }
    // Shows the working copy and, when the user confirms, takes the choice into it. What the user
    // left alone keeps its stored value, so a face this desktop lacks or a height that points
    // cannot express survives a confirmation unchanged. False, the copy untouched, on cancel.
    bool Execute();

    QFontDialog *FontWidget();
    QComboBox *ColourList();
    // The colour the list shows, as the program stores colours.
    std::int32_t SelectedColour() const;
    // Selects the entry of this colour, adding one for a colour the list lacks.
    void SelectColour(std::int32_t colour);
    void OtherColourClick();

    void setVisible(bool visible) override;

private:
    void BuildControls();
    void AddColour(const QString &name, std::int32_t colour);
    void LoadControls();
    FontDescription ReadControls() const;
    int PixelHeight(const QFont &chosen) const;

    FontDescription font;
    // The working copy as the font widget shows it: a change is told from what it showed.
    QFont shownFont;
    QFontDialog *fontWidget = nullptr;
    QComboBox *colourList = nullptr;
    QPushButton *otherColour = nullptr;
    int customEntry = -1;
};

// The font as the widgets take it: the height, negative or positive, as the pixel size (0 keeps
// the toolkit's default size); colour aside.
QFont FontFromDescription(const FontDescription &description);

#endif // UI_FONT_CHOOSER_H
