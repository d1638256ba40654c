#ifndef UI_FORM_MAIN_H
#define UI_FORM_MAIN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QMainWindow>

#include "controls/Button_section_bar.h"
#include "storage/Database.h"
#include "support/Font_keys.h"
#include "ui/Form_settings.h"
#include "ui/Main_layout.h"
#include "ui/Program_paths.h"

class QSplitter;
class IniFile;
class TArticlePane;
class TGoMenu;
class TGradButton;
class TMainTray;
class StartupLoad;
struct LoadAhead;
class TSplashForm;
class TSuggestionStrip;
class TWordInput;
class TWordList;
class WordLookup;
class WordSuggestions;
struct ArticleVisit;
struct Suggestion;

// The main window: owns the settings, the dictionaries, the section bar, the two fonts and the
// lookup for the whole run. Its handlers ask the lookup and hand the answer to the field, the
// word list, the article pane and the section bar.
class TForm1 : public QMainWindow,
               public IDictionaryLoadObserver,
               public ButtonSectionBarObserver,
               public FontSettingsOwner
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
    // The same with the load main started ahead (StartLoadAhead) for its paths.
    explicit TForm1(LoadAhead &&ahead, QWidget *parent = nullptr);
    ~TForm1() override;

    // True when start-up found no dictionary: the program must end without showing the window.
    bool Terminated() const { return terminated; }

    // Dictionaries were added to or taken from the database after start-up.
    void DictionariesChanged();

    // Settings keys.
    void LoadDictionaryOrder();
    void LoadFontSettings() override;
    void SaveFontSettings(const FontDescription &list, const FontDescription &article) override;
    void SaveArticleSettings(bool all) override;
    bool ShowsAllArticles() const;
    void ApplyFonts(const FontDescription *list, const FontDescription *article) override;

    // Word search and article display.
    void WordInputKeyPress(char32_t key);
    void FindButtonClick();
    void ListBox1Click();
    void OnDictionaryClick(std::uint32_t id) override;
    void FillWordList();
    // With phrase marked in it (a search result) when that is not empty.
    void ShowArticle(const std::string &phrase = std::string());
    void RichEdit1DblClick();
    // Back and forward: what the window shows, and the same shown again.
    ArticleVisit ShownVisit() const;
    void ShowVisit(const ArticleVisit &visit);
    // Looks a word of the article up as a double-click does: a clicked link's.
    void LookUpFromArticle(const QString &word);
    // A link of the suggestion strip followed.
    void ChooseSuggestion(const Suggestion &suggestion);
    // What choosing a result of the search inside articles does: what a click in the word list
    // does, with the phrase marked in the article, and the window brought forward from the
    // notification area or from under other windows.
    void ShowRecord(WordPosition position, const QString &phrase);

    // Minimising hides the window into the notification area; the icon brings it back, or up
    // from under other windows.
    void OnMinimize();
    void TrayIcon1Click();

    // Requests from outside the window (the command line, a later start of the program).
    // LookUp puts the whole word into WordInput and presses Enter, except that the headword of
    // an inflected form or of a folded spelling is shown in place of the longest shared
    // beginning (so also for a double click in the article).
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
    WordPosition CurrentWord() const;

    // The whole text of the field, as the core takes it (UTF-8).
    std::string WordText() const;

    void OnDictionaryLoading(std::string name) override;
    void OnLoadProgress(std::int32_t total, std::int32_t done) override;

signals:
    void dictionariesRequested();
    void settingsRequested();
    void aboutRequested();
    void searchRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Reads the settings, starts the dictionaries' load and shows the splash window.
    void StartLoading();
    void CreateControls();
    void CreateMenu();
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormClose();
    void BuildSectionBar();
    // A word from outside the field: shows the headword of its form or folded spelling, when it
    // is no headword itself and has one.
    bool ShowLemma(const QString &word);
    // The word list filled with the headwords the pattern matches, the first one shown.
    void ShowPatternMatches(const std::string &pattern);

    ProgramPaths paths;
    // In this order, so that each goes before what it uses, and all before the controls.
    std::unique_ptr<SectionBar> sectionBar;
    std::unique_ptr<IniFile> settings;
    std::unique_ptr<Database> database;
    std::unique_ptr<StartupLoad> startup; // reports the load to the splash window
    std::unique_ptr<WordLookup> lookup;
    std::unique_ptr<WordSuggestions> suggestions;
    bool uniformBarColours = false;
    FontDescription listFont;
    FontDescription articleFont;
    bool terminated = false;

    TSplashForm *splash = nullptr;
    MainControls controls{};
    // The handlers use the controls by their own names.
    QWidget *&client = controls.client;
    TWordInput *&WordInput = controls.WordInput;
    TWordList *&ListBox1 = controls.ListBox1;
    QSplitter *&Splitter1 = controls.Splitter1;
    TArticlePane *&RichEdit1 = controls.RichEdit1;
    TSuggestionStrip *&SuggestionStrip = controls.SuggestionStrip;
    TMainTray *tray = nullptr;
    TGoMenu *goMenu = nullptr;
    // The shown article, and the phrase marked in it (a search result); empty for none.
    WordPosition shownWord;
    std::string shownPhrase;
};

extern TForm1 *Form1;

#endif // UI_FORM_MAIN_H
