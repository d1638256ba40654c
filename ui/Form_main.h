#ifndef UI_FORM_MAIN_H
#define UI_FORM_MAIN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "controls/Button_section_bar.h"
#include "storage/Database.h"
#include "support/Font_keys.h"
#include "ui/Program_paths.h"

class QComboBox;
class QFrame;
class QListWidget;
class QMenu;
class QSplitter;
class QSystemTrayIcon;
class QTextEdit;
class IniFile;
class TGradButton;
class TSplashForm;
class TSearchForm;
class ArticleView;

// The main window: owns the settings, the dictionaries, the section bar, the two fonts and the
// current word for the whole run.
class TForm1 : public QMainWindow, public IDictionaryLoadObserver, public ButtonSectionBarObserver
{
    Q_OBJECT

public:
    // Shows the message and waits for it to be closed; tests replace it so nothing blocks.
    using MessageShower = std::function<void(QWidget *parent, const QString &text)>;
    static MessageShower showErrorMessage;

    // programFolder holds dics/, Kalvora.ini and file.log, with a trailing "/". The dictionaries
    // are loaded here, behind the splash window.
    explicit TForm1(const std::string &programFolder, QWidget *parent = nullptr);
    // The same with the settings, the log and further dictionaries kept where paths says.
    explicit TForm1(const ProgramPaths &paths, QWidget *parent = nullptr);
    ~TForm1() override;

    // True when start-up found no dictionary: the program must end without showing the window.
    bool Terminated() const { return terminated; }

    // Settings keys.
    void LoadDictionaryOrder();
    void LoadFontSettings();
    void SaveFontSettings(const FontDescription &list, const FontDescription &article);
    // Either font may be null: that one is left as it is.
    void ApplyFonts(const FontDescription *list, const FontDescription *article);
    void ReorderDictionaries(std::vector<std::uint32_t> ids);

    // Word search and article display.
    void WordInputKeyPress(char32_t key);
    void FindButtonClick();
    void ListBox1Click();
    void OnDictionaryClick(std::uint32_t id) override;
    void FillWordList();
    void AddToHistory(const QString &word);
    void ShowArticle();
    void RichEdit1DblClick();
    // Search inside articles: its window, made on first use, and what choosing a result does,
    // which is what a click in the word list does, the phrase marked in the article.
    void OpenSearch();
    void ShowRecord(WordPosition position, const QString &phrase);

    // Minimising hides the window into the notification area; the icon brings it back.
    void OnMinimize();
    void TrayIcon1Click();

    // Requests from outside the window (the command line, a later start of the program).
    // LookUp puts the whole word into WordInput and presses Enter.
    void LookUp(const QString &word);
    // Shows the window, back from the notification area or from being minimised, and raises it.
    void BringToFront();
    // Closes the window, which saves the settings, and ends the program also when the window is
    // hidden in the notification area.
    void ExitProgram();

    Database *GetDatabase() const { return database.get(); }
    IniFile *GetSettings() const { return settings.get(); }
    SectionBar *GetSectionBar() const { return sectionBar.get(); }
    const FontDescription &ListFont() const { return listFont; }
    const FontDescription &ArticleFont() const { return articleFont; }
    WordPosition CurrentWord() const { return currentWord; }
    std::int32_t ListFirst() const { return listFirst; }
    const ProgramPaths &Paths() const { return paths; }

    QMenu *SettingsMenu() const { return N1; }

    // The whole text of the field, as the core takes it (UTF-8).
    std::string WordText() const;

    void OnDictionaryLoading(std::string name) override;
    void OnLoadProgress(std::int32_t total, std::int32_t done) override;

signals:
    void dictionariesRequested();
    void settingsRequested();
    void aboutRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void CreateControls();
    void CreateMenu();
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormClose();
    void BuildSectionBar();
    void SetWordText(const QString &text, int selectionStart, int selectionLength);

    ProgramPaths paths;
    std::unique_ptr<Database> database;
    WordPosition currentWord;
    std::int32_t listFirst = 0;
    // The list's headwords, kept so that their room serves every refill.
    WordRange listWords;
    std::unique_ptr<SectionBar> sectionBar;
    bool uniformBarColours = false;
    std::unique_ptr<IniFile> settings;
    FontDescription listFont;
    FontDescription articleFont;
    bool terminated = false;
    bool fillingList = false;
    bool articleRequested = false;

    TSplashForm *splash = nullptr;
    QWidget *client = nullptr;
    QComboBox *WordInput = nullptr;
    TGradButton *FindButton = nullptr;
    QFrame *Bevel1 = nullptr;
    QWidget *Panel1 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    ArticleView *RichEdit1 = nullptr;
    QSystemTrayIcon *TrayIcon1 = nullptr;
    Qt::WindowStates stateBeforeMinimise = Qt::WindowNoState;
    QMenu *N4 = nullptr;
    QMenu *N1 = nullptr;
    TSearchForm *SearchForm = nullptr;
};

extern TForm1 *Form1;

#endif // UI_FORM_MAIN_H
