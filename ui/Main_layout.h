#ifndef UI_MAIN_LAYOUT_H
#define UI_MAIN_LAYOUT_H

class QFrame;
class QMainWindow;
class QSplitter;
class QWidget;
class TArticlePane;
class TGradButton;
class TSuggestionStrip;
class TWordInput;
class TWordList;

// The main window's controls, each object named as its field: the search field, the suggestion
// strip, the search button, the rule and the panel whose splitter holds the word list and the
// article pane. The window owns them.
struct MainControls
{
    QWidget *client;
    TWordInput *WordInput;
    TSuggestionStrip *SuggestionStrip;
    TGradButton *FindButton;
    QFrame *Bevel1;
    QWidget *Panel1;
    QSplitter *Splitter1;
    TWordList *ListBox1;
    TArticlePane *RichEdit1;
};

// Makes the controls as the central widget of window, in their places in a client area
// clientWidth wide and in tab order; connecting them is the caller's.
MainControls CreateMainControls(QMainWindow &window, int clientWidth);
// Follows the client area's size: the rule as wide, the panel below the strip, which takes a line
// of its own while it has something to say.
void LayOutMainControls(const MainControls &controls);

#endif // UI_MAIN_LAYOUT_H
