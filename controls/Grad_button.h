#ifndef CONTROLS_GRAD_BUTTON_H
#define CONTROLS_GRAD_BUTTON_H

#include <cstdint>

#include <QImage>
#include <QStringList>
#include <QWidget>

class QPainter;

// 0x00BBGGRR, red in the low byte, as the form layouts store colours.
using TColor = std::uint32_t;

enum TBtnState : std::uint8_t
{
    bsNormal,
    bsOver,
    bsDown
};
enum TButtonLayout : std::uint8_t
{
    blGlyphLeft,
    blGlyphRight,
    blGlyphTop,
    blGlyphBottom
};
enum TColorScheme : std::uint8_t
{
    csGlossDesert,
    csGlossSky,
    csGlossGrass,
    csGlossSilver,
    csGlossRose,
    csGlossSun,
    csDesert,
    csGrass,
    csSky,
    csSun,
    csRose,
    csSilver,
    csCustom
};

// The program's own push button: draws itself completely (face or vertical gradient, border, 3D
// edge, glyph and caption) from four colour sets chosen by its state.
class TGradButton : public QWidget
{
    Q_OBJECT
public:
    // Index of each colour for SetColors / GetColor.
    enum TColorIndex : int
    {
        ColorFace,
        ColorGrad,
        ColorDark,
        ColorLight,
        ColorBorder,
        ColorText,
        OverColorFace,
        OverColorGrad,
        OverColorDark,
        OverColorLight,
        OverColorBorder,
        OverColorText,
        DownColorFace,
        DownColorGrad,
        DownColorDark,
        DownColorLight,
        DownColorBorder,
        DownColorText,
        DisabledColorFace,
        DisabledColorGrad,
        DisabledColorDark,
        DisabledColorLight,
        DisabledColorBorder,
        DisabledColorText,
        ColorFocusRect,
        COLOR_COUNT
    };

    explicit TGradButton(QWidget *owner = nullptr);

    // An index outside 0..24 stores nothing; the scheme reads csCustom afterwards either way.
    void SetColors(int index, TColor colour);
    // 0 for an index outside 0..24.
    TColor GetColor(int index) const;
    // Gloss schemes set all 25 colours and the gradient; plain ones keep the four Grad colours and
    // turn the gradient off; csCustom changes nothing.
    void SetColorScheme(TColorScheme scheme);
    TColorScheme GetScheme() const { return FColorScheme; }
    // One "<label><colour>;" line per colour, standard colours by name, others as "$00BBGGRR".
    QStringList GetColorScheme() const;

    void SetCaption(const QString &caption);
    QString Caption() const { return FCaption; }
    // The button keeps its own copy; a null image means no glyph.
    void SetGlyph(const QImage &glyph);
    const QImage &Glyph() const { return FGlyph; }
    void SetLayout(TButtonLayout layout);
    TButtonLayout Layout() const { return FLayout; }
    void SetSpacing(int spacing);
    int Spacing() const { return FSpacing; }
    void SetCtl3D(bool flag);
    bool Ctl3D() const { return FCtl3D; }
    void SetTransparentGlyph(bool flag);
    bool TransparentGlyph() const { return FTransparentGlyph; }
    void SetGradient(bool flag);
    bool Gradient() const { return FGradient; }
    void SetHotTrack(bool flag);
    bool HotTrack() const { return FHotTrack; }
    void SetCancel(bool flag) { FCancel = flag; }
    bool IsCancel() const { return FCancel; }
    void SetDefault(bool flag) { FDefault = flag; }
    bool IsDefault() const { return FDefault; }
    // Given to the button's dialog when clicked; non-zero closes it with this result.
    void SetModalResult(int value) { FModalResult = value; }
    int ModalResult() const { return FModalResult; }
    void SetTag(int value) { FTag = value; }
    int Tag() const { return FTag; }
    TBtnState State() const { return FState; }
    bool HasFocus() const { return FHasFocus; }

    // Vertical gradient over rect.height() + 1 rows, from `from` on rect.top() to `to` on the row
    // just below the rectangle; a negative height draws nothing.
    static void GradientFillRect(QPainter &canvas, const QRect &rect, TColor from, TColor to);

    // Sets the dialog's result, returns to bsNormal, emits clicked(), then closes the dialog when
    // the modal result is non-zero, so handlers run before the dialog goes.
    void Click();
    // Enter and Escape offered by the form; true when the button took the key (and clicked).
    bool CMDialogKey(int key, Qt::KeyboardModifiers modifiers);
    // True when the character is the caption's accelerator and the button clicked.
    bool CMDialogChar(QChar c);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void MouseEnter();
    void MouseLeave();
    void MouseDown(Qt::MouseButton button);
    void MouseUp(int x, int y);
    void PaintNow();
    QImage Paint() const;
    void PaintGlyph(QPainter &canvas, int &tx, int &ty, int tw, int th) const;
    void PaintEdges(QPainter &canvas, const TColor *set) const;
    bool CanFocus() const;

    TColor FColors[COLOR_COUNT] = {};
    bool FHasFocus = false;
    TColorScheme FColorScheme = csCustom;
    bool FCtl3D = true;
    TButtonLayout FLayout = blGlyphLeft;
    QImage FGlyph;
    bool FTransparentGlyph = true;
    bool FGradient = false;
    int FSpacing = 4;
    int FModalResult = 0;
    bool FCancel = false;
    bool FDefault = false;
    bool FHotTrack = true;
    bool FMouseHeld = false;
    TBtnState FState = bsNormal;
    // Whether the pointer was over the button at the last move while the mouse button was held.
    bool pointerInside = false;
    QString FCaption;
    int FTag = 0;
};

#endif // CONTROLS_GRAD_BUTTON_H
