#include "ui/Form_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSplitter>

#include "controls/Grad_button.h"
#include "lookup/Article_history.h"
#include "lookup/Patterns.h"
#include "lookup/Suggestions.h"
#include "lookup/Word_lookup.h"
#include "platform/Keyboard_layout.h"
#include "support/Ini_file.h"
#include "support/Log_file.h"
#include "support/Word_history.h"
#include "ui/Ansi_text.h"
#include "ui/Article_pane.h"
#include "ui/Article_visits.h"
#include "ui/Dialog_window.h"
#include "ui/Focus_frame.h"
#include "ui/Form_splash.h"
#include "ui/Main_fonts.h"
#include "ui/Main_layout.h"
#include "ui/Main_menu.h"
#include "ui/Main_tray.h"
#include "ui/Resources.h"
#include "ui/Section_groups.h"
#include "ui/Startup_load.h"
#include "ui/Suggestion_strip.h"
#include "ui/Window_place.h"
#include "ui/Word_input.h"
#include "ui/Word_list.h"
#include "ui/Word_suggestions.h"

TForm1 *Form1 = nullptr;

TForm1::MessageShower TForm1::showErrorMessage = [](QWidget *parent, const QString &text) {
    ShowErrorBox(parent, QStringLiteral("Kalvora"), text);
};

namespace {

constexpr int CLIENT_WIDTH = 621;
constexpr int CLIENT_HEIGHT = 466;

} // namespace

TForm1::TForm1(const std::string &programFolder, QWidget *parent)
    : TForm1(ProgramPathsIn(programFolder), parent)
{
}

TForm1::TForm1(const ProgramPaths &paths, QWidget *parent)
    : TForm1(LoadAhead{paths, nullptr, nullptr, nullptr}, parent)
{
}

TForm1::TForm1(LoadAhead &&ahead, QWidget *parent)
    : QMainWindow(parent)
    , paths(ahead.paths)
    , settings(std::move(ahead.settings))
    , database(std::move(ahead.database))
    , startup(std::move(ahead.startup))
{
    // The log comes first: the dictionaries load, and log, while the window is built.
    logFile.Open(paths.logFolder + "file.log");
    logFile.WriteHeader(LOG_INFO, "TForm1::TForm1");
    logFile.Printf("Log created");
    StartLoading();
    CreateControls();
    CreateMenu();
    sectionBar = std::make_unique<SectionBar>(client, this);
    KeepRussianLayoutInProgramWindows();
    FormCreate();
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CreateControls()
{
    // Before anything that changes the window: each change reaches changeEvent, which asks it.
    tray = new TMainTray(this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kalvora"));
    QFont formFont(QStringLiteral("Times New Roman"));
    formFont.setPixelSize(16);
    setFont(formFont);

    controls = CreateMainControls(*this, CLIENT_WIDTH);
    WordInput->onKeyPress = [this](char32_t key) { WordInputKeyPress(key); };
    SuggestionStrip->onChoose = [this](const Suggestion &chosen) { ChooseSuggestion(chosen); };
    connect(controls.FindButton, &TGradButton::clicked, this, [this] { FindButtonClick(); });
    ListBox1->onChoose = [this] { ListBox1Click(); };
    RichEdit1->onDoubleClick = [this] { RichEdit1DblClick(); };
    RichEdit1->onLinkClick = [this](const QString &word) { LookUpFromArticle(word); };
    FrameFocusOf({ListBox1, RichEdit1});
    setMinimumSize(500, 300);
}

void TForm1::CreateMenu()
{
    goMenu = CreateMainMenu(*this,
        {[this] { emit searchRequested(); }, [this] { close(); },
            [this] { emit dictionariesRequested(); }, [this] { emit settingsRequested(); },
            [this] { emit aboutRequested(); }},
        {[this] { return ShownVisit(); }, [this](const ArticleVisit &visit) { ShowVisit(visit); },
            [this] { return ToQString(database->GetWord(shownWord)); },
            [this](const QString &word) { LookUp(word); }});
}

void TForm1::StartLoading()
{
    if (startup) {
        startup->SetObserver(*this);
        startup->AwaitSettings();
    } else {
        settings = std::make_unique<IniFile>();
        startup = std::make_unique<StartupLoad>(*this);
        database = std::make_unique<Database>(paths.programFolder, startup.get());
        startup->Start(paths, *settings, *database);
    }
    // The splash window shows every report all the same: they wait for it in the queue.
    splash = new TSplashForm(this);
    splash->ShowAtOnce();
}

void TForm1::FormCreate()
{
    uniformBarColours = true;
    lookup = std::make_unique<WordLookup>(*database);
    RichEdit1->SetLookup(lookup.get());
    suggestions =
        std::make_unique<WordSuggestions>(*database, *SuggestionStrip, [this] { FormResize(); });
    listFont = DefaultFont();
    articleFont = DefaultFont();

    WordInput->SetHistory(ReadWordHistory(*settings));
    WordInput->onHistoryChange = [this] { SaveWordHistory(*settings, WordInput->History()); };
    // The client area is what the layout is measured in; the menu bar comes on top of it.
    PlaceWindow(*this, *Splitter1, *settings, QSize(CLIENT_WIDTH, CLIENT_HEIGHT));

    LoadFontSettings();
    lookup->ShowAllDictionaries(ReadShowAllDictionaries(*settings));

    // Everything from here on reads the dictionaries, and the first lookup comes later still.
    startup->Finish();
    if (database->GetCount() == 0) {
        // Before the message: its label still holds its design-time caption.
        splash->hide();
        showErrorMessage(this, NoDictionaryMessage(database->SearchedFolders()));
        terminated = true;
    }
    BuildSectionBar();
    splash->hide();
    // Only now: the splash window would take the icon over from its owner and have every size
    // of it decoded for a window that shows no icon.
    setWindowIcon(ProgramIcon());
}

void TForm1::BuildSectionBar()
{
    FillSectionBar(*sectionBar, *database, uniformBarColours);
}

void TForm1::DictionariesChanged()
{
    BuildSectionBar();
    FillWordList();
}

void TForm1::OnDictionaryLoading(std::string name)
{
    splash->SetDictionaryText(ToQString(name));
}

void TForm1::OnLoadProgress(std::int32_t total, std::int32_t done)
{
    splash->SetProgress(total, done);
}

void TForm1::FormShow()
{
    WordInput->setFocus();
}

void TForm1::FormResize()
{
    LayOutMainControls(controls);
}

void TForm1::FormClose()
{
    KeepWindowPlace(*this, *Splitter1, *settings);
    settings->Save();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
    // Once the window is on the screen: the icon costs the image plugins and the notification
    // area's round trips, which the window need not wait for.
    tray->ShowIconWhenExposed(
        [this] { TrayIcon1Click(); }, [this] { BringToFront(); }, [this] { ExitProgram(); });
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (tray->Minimising(*event))
        OnMinimize();
}

void TForm1::OnMinimize()
{
    tray->HideMinimised();
}

void TForm1::TrayIcon1Click()
{
    // A window under others is what the user is asking for too.
    tray->BringToFront();
}

void TForm1::LookUp(const QString &word)
{
    if (ShowLemma(word))
        return;
    WordInput->setEditText(word);
    FindButtonClick();
}

void TForm1::BringToFront()
{
    tray->BringToFront();
}

void TForm1::ExitProgram()
{
    // Closing a hidden window is not the last window closing, so the program would go on.
    if (close())
        QCoreApplication::quit();
}

WordPosition TForm1::CurrentWord() const
{
    return lookup->Current();
}

std::string TForm1::WordText() const
{
    return WordInput->Text();
}

void TForm1::WordInputKeyPress(char32_t key)
{
    if (key == TWordInput::KEY_ENTER) {
        FindButtonClick();
        return;
    }
    const Completion completion = lookup->Type(WordInput->TypedText(), key);
    if (!completion.taken) {
        // * and ? stay although no headword continues them: Enter lists what they match.
        if (completion.query.empty() || IsPattern(completion.query))
            WordInput->ShowWord(ToQString(completion.query));
        else
            suggestions->ShowNoteLater(completion.query);
        return;
    }
    WordInput->ShowCompletion(completion.match.headword, completion.typedCharacters);
    sectionBar->SelectItem(completion.match.position.dicId);
    suggestions->HideNote();
    FillWordList();
}

void TForm1::FindButtonClick()
{
    const std::string word = WordText();
    if (IsPattern(word)) {
        ShowPatternMatches(word);
        return;
    }
    const QString typed = ToQString(word);
    const Match match = lookup->Find(word);
    if (match.Found()) {
        WordInput->ShowCompletion(match.headword, match.sharedCharacters);
        WordInput->AddToHistory(typed.trimmed().isEmpty() ? ToQString(match.headword) : typed);
        sectionBar->SelectItem(match.position.dicId);
    }
    FillWordList();
    ShowArticle();
    suggestions->ShowNote(word, match.exact);
}

bool TForm1::ShowLemma(const QString &word)
{
    Suggestion lemma;
    if (!suggestions->FindLemma(ToCoreText(word), lemma))
        return false;
    ChooseSuggestion(lemma);
    suggestions->ShowNote(ToCoreText(word), false);
    return true;
}

void TForm1::ChooseSuggestion(const Suggestion &suggestion)
{
    if (!lookup->Select(suggestion.position))
        return;
    WordInput->ShowWord(ToQString(suggestion.headword));
    WordInput->AddToHistory(ToQString(suggestion.headword));
    sectionBar->SelectItem(suggestion.position.dicId);
    FillWordList();
    ShowArticle();
    suggestions->ShowNote(std::string(), true);
}

void TForm1::ShowPatternMatches(const std::string &pattern)
{
    const std::vector<WordPosition> &rows = suggestions->MatchPattern(pattern);
    const bool found = !rows.empty() && lookup->Select(rows.front());
    ListBox1->ShowMatches(lookup->Headwords(rows), found);
    ShowArticle();
    suggestions->ShowPatternNote(pattern, found);
}

void TForm1::ListBox1Click()
{
    const int row = ListBox1->currentRow();
    const bool chosen = suggestions->ListsPattern() ? lookup->Select(suggestions->PatternRow(row))
                                                    : lookup->SelectRow(row);
    if (!chosen)
        return;
    WordInput->ShowWord(ListBox1->currentItem()->text());
    ShowArticle();
}

void TForm1::OnDictionaryClick(std::uint32_t id)
{
    lookup->Find(WordText(), id);
    FillWordList();
    ShowArticle();
    // The pressed button is disabled now, which sent the focus on to the next button, where Enter
    // or Space would silently search another dictionary.
    WordInput->setFocus(Qt::OtherFocusReason);
}

void TForm1::FillWordList()
{
    suggestions->ForgetPattern();
    ListBox1->ShowWords(lookup->Neighbours());
}

void TForm1::ShowArticle(const std::string &phrase)
{
    RichEdit1->ShowArticle(lookup->Article());
    shownWord = lookup->Current();
    shownPhrase = phrase;
    if (!phrase.empty())
        RichEdit1->MarkPhrase(phrase);
    goMenu->ArticleShown();
}

ArticleVisit TForm1::ShownVisit() const
{
    return CaptureVisit({*WordInput, *ListBox1, *sectionBar}, *lookup, shownPhrase);
}

void TForm1::ShowVisit(const ArticleVisit &visit)
{
    if (RestoreVisit({*WordInput, *ListBox1, *sectionBar}, *lookup, visit))
        ShowArticle(visit.phrase);
}

void TForm1::RichEdit1DblClick()
{
    LookUpFromArticle(RichEdit1->FlashSelectedWord());
}

void TForm1::LookUpFromArticle(const QString &word)
{
    if (ShowLemma(word))
        return;
    WordInput->setEditText(word);
    const Match match = lookup->Find(ToCoreText(word));
    FillWordList();
    ShowArticle();
    suggestions->ShowNote(ToCoreText(word), match.exact);
}

void TForm1::ShowRecord(WordPosition position, const QString &phrase)
{
    if (!lookup->Select(position))
        return;
    // Posted: the clicks that chose the result would otherwise hand the activation back to
    // their own window.
    QMetaObject::invokeMethod(
        this, [this] { BringToFront(); }, Qt::QueuedConnection);
    WordInput->ShowWord(ToQString(lookup->CurrentHeadword()));
    sectionBar->SelectItem(position.dicId);
    FillWordList();
    ShowArticle(ToCoreText(phrase));
}

void TForm1::LoadDictionaryOrder()
{
    ApplyDictionaryOrder(*settings, *database);
}

void TForm1::LoadFontSettings()
{
    ReadMainFonts(*settings, listFont, articleFont);
    ApplyFonts(&listFont, &articleFont);
}

void TForm1::SaveFontSettings(const FontDescription &list, const FontDescription &article)
{
    WriteMainFonts(*settings, list, article);
}

bool TForm1::ShowsAllArticles() const
{
    return lookup->ShowsAllDictionaries();
}

void TForm1::SaveArticleSettings(bool all)
{
    WriteShowAllDictionaries(*settings, all);
    lookup->ShowAllDictionaries(all);
    if (RichEdit1->Shown())
        ShowArticle(shownPhrase);
}

void TForm1::ApplyFonts(const FontDescription *list, const FontDescription *article)
{
    if (list) {
        listFont = *list;
        ListBox1->SetListFont(listFont);
    }
    if (article) {
        articleFont = *article;
        RichEdit1->SetArticleFont(articleFont);
        // Before the first search the pane stays empty rather than saying "nothing found".
        if (RichEdit1->Shown())
            ShowArticle();
    }
}
