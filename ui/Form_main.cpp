#include "ui/Form_main.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QTextCursor>
#include <QTextEdit>

#include "controls/Grad_button.h"
#include "platform/Keyboard_layout.h"
#include "platform/Platform.h"
#include "storage/Installed_sources.h"
#include "support/Dictionary_order.h"
#include "support/Ini_file.h"
#include "support/Log_file.h"
#include "ui/Ansi_text.h"
#include "ui/Colours.h"
#include "ui/Dialog_window.h"
#include "ui/Font_chooser.h"
#include "ui/Form_search.h"
#include "ui/Form_splash.h"
#include "ui/Resources.h"

TForm1 *Form1 = nullptr;

TForm1::MessageShower TForm1::showErrorMessage = [](QWidget *parent, const QString &text) {
    ShowErrorBox(parent, QStringLiteral("Kalvora"), text);
};

// The article pane: the toolkit selects the word under the pointer on a double-click; the
// program's handler runs after that.
class ArticleView : public QTextEdit
{
public:
    using QTextEdit::QTextEdit;
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        QTextEdit::mouseDoubleClickEvent(event);
        if (onDoubleClick)
            onDoubleClick();
    }
};

namespace {

constexpr int CLIENT_WIDTH = 621;
constexpr int CLIENT_HEIGHT = 466;
constexpr int LIST_LINE_HEIGHT = 19;
constexpr int LIST_WORDS_BEFORE = 100;
constexpr int LIST_WORDS_AFTER = 99;
constexpr int HISTORY_SIZE = 30;
constexpr char32_t KEY_BACKSPACE = 8;
constexpr char32_t KEY_ENTER = 13;
constexpr int DOUBLE_CLICK_FLASH_MS = 100;

const char *const LIST_FONT_KEY = "LIST_FONT";
const char *const ARTICLE_FONT_KEY = "PARTICLE_FONT";

// Lines are 19 pixels high, or as high as the list's font needs when that is more.
class LineHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(),
            std::max(LIST_LINE_HEIGHT, option.fontMetrics.height()));
    }
};

// Rows are kept from one refill to the next and only their texts change, so a refill makes no
// row objects and the view sees no reset.
void SetListRow(QListWidget *list, int row, const QString &text)
{
    if (row < list->count())
        list->item(row)->setText(text);
    else
        list->addItem(text);
}

void KeepListRows(QListWidget *list, int rows)
{
    while (list->count() > rows)
        delete list->takeItem(list->count() - 1);
}

// Control characters are never typed: Delete, for one, comes with the text "\x7F" on X and must
// keep its ordinary effect in the field.
bool IsTypedCharacter(const QString &text)
{
    if (text.isEmpty())
        return false;
    const char16_t first = text.front().unicode();
    return first >= 0x20 && first != 0x7F;
}

// What a newly created font holds: the desktop's default face and size in the window-text
// colour.
FontDescription DefaultFont()
{
    const QFont font = QApplication::font();
    FontDescription description;
    description.name = ToAnsi(font.family());
    const int pixels = font.pixelSize() > 0
        ? font.pixelSize()
        : static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    description.height = -pixels;
    description.colour = WINDOW_TEXT_COLOUR;
    return description;
}

} // namespace

TForm1::TForm1(const std::string &programFolder, QWidget *parent)
    : TForm1(ProgramPathsIn(programFolder), parent)
{
}

TForm1::TForm1(const ProgramPaths &paths, QWidget *parent)
    : QMainWindow(parent)
    , paths(paths)
{
    CreateControls();
    CreateMenu();
    sectionBar = std::make_unique<SectionBar>(client, this);
    logFile.Open(paths.logFolder + "file.log");
    logFile.WriteHeader(LOG_INFO, "TForm1::TForm1");
    logFile.Printf("Log created");
    KeepRussianLayoutInProgramWindows();
    FormCreate();
}

TForm1::~TForm1()
{
    // The search window reads the dictionaries from a thread of its own.
    delete SearchForm;
    database.reset();
    settings.reset();
    sectionBar.reset();
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CreateControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kalvora"));
    QFont formFont(QStringLiteral("Times New Roman"));
    formFont.setPixelSize(16);
    setFont(formFont);

    client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    WordInput = new QComboBox(client);
    WordInput->setObjectName(QStringLiteral("WordInput"));
    WordInput->setAccessibleName(QStringLiteral("Слово для поиска"));
    WordInput->setEditable(true);
    WordInput->setInsertPolicy(QComboBox::NoInsert);
    WordInput->setCompleter(nullptr);
    WordInput->setGeometry(7, 38, 218, WordInput->sizeHint().height());
    // Keys reach the combo box, which hands them to its edit field directly; the edit field sees
    // them only when it is sent keys itself.
    WordInput->installEventFilter(this);
    WordInput->lineEdit()->installEventFilter(this);

    FindButton = new TGradButton(client);
    FindButton->setObjectName(QStringLiteral("FindButton"));
    FindButton->setAccessibleName(QStringLiteral("Найти"));
    FindButton->SetColorScheme(csSilver);
    FindButton->SetCaption(QStringLiteral("Найти"));
    FindButton->setGeometry(231, 40, 75, 25);
    connect(FindButton, &TGradButton::clicked, this, [this] { FindButtonClick(); });

    Bevel1 = new QFrame(client);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(4, 71, CLIENT_WIDTH, 3);

    Panel1 = new QWidget(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAccessibleName(QStringLiteral("Слова и статья"));
    Panel1->setGeometry(8, 80, 609, 378);

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setAccessibleName(QStringLiteral("Разделитель списка и статьи"));
    Splitter1->setHandleWidth(7);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setGeometry(Panel1->rect());

    ListBox1 = new QListWidget(Splitter1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setAccessibleName(QStringLiteral("Список слов"));
    ListBox1->setItemDelegate(new LineHeightDelegate(ListBox1));
    ListBox1->setUniformItemSizes(true);
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    // Moving through the list with the keyboard shows each word, as a click does; rows changed
    // by a mouse press are left to the click so that the article is built once.
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (!fillingList && QApplication::mouseButtons() == Qt::NoButton)
            ListBox1Click();
    });

    RichEdit1 = new ArticleView(Splitter1);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAccessibleName(QStringLiteral("Статья"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit1->onDoubleClick = [this] { RichEdit1DblClick(); };

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({168, 609 - 168 - 7});

    TrayIcon1 = new QSystemTrayIcon(ProgramIcon(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(QStringLiteral("Kalvora"));
    connect(TrayIcon1, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                TrayIcon1Click();
        });
    auto *trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("TrayMenu"));
    trayMenu->addAction(QStringLiteral("Показать"), this, [this] { BringToFront(); })
        ->setObjectName(QStringLiteral("TrayShow"));
    trayMenu->addAction(QStringLiteral("Выход"), this, [this] { ExitProgram(); })
        ->setObjectName(QStringLiteral("TrayExit"));
    TrayIcon1->setContextMenu(trayMenu);
    TrayIcon1->show();

    setTabOrder(WordInput, FindButton);
    setTabOrder(FindButton, ListBox1);
    setTabOrder(ListBox1, RichEdit1);

    setMinimumSize(500, 300);
}

void TForm1::CreateMenu()
{
    N4 = menuBar()->addMenu(QStringLiteral("&Файл"));
    N4->setObjectName(QStringLiteral("N4"));
    QAction *N7 =
        N4->addAction(QStringLiteral("&Поиск в статьях..."), this, [this] { OpenSearch(); });
    N7->setObjectName(QStringLiteral("N7"));
    N7->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction *N5 = N4->addAction(QStringLiteral("&Выход"), this, [this] { close(); });
    N5->setObjectName(QStringLiteral("N5"));
    N5->setShortcut(QKeySequence::Quit);

    N1 = menuBar()->addMenu(QStringLiteral("&Настройки"));
    N1->setObjectName(QStringLiteral("N1"));
    QAction *N2 =
        N1->addAction(QStringLiteral("&Словари"), this, [this] { emit dictionariesRequested(); });
    N2->setObjectName(QStringLiteral("N2"));
    QAction *N6 =
        N1->addAction(QStringLiteral("Н&астройки..."), this, [this] { emit settingsRequested(); });
    N6->setObjectName(QStringLiteral("N6"));

    QAction *N3 = menuBar()->addAction(
        QStringLiteral("&О программе"), this, [this] { emit aboutRequested(); });
    N3->setObjectName(QStringLiteral("N3"));
}

void TForm1::FormCreate()
{
    splash = new TSplashForm(this);
    splash->show();
    // The splash window must reach the screen before the load blocks the event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    splash->repaint();

    uniformBarColours = true;
    settings = std::make_unique<IniFile>();
    database = std::make_unique<Database>(paths.programFolder, this);
    if (!paths.userDicsFolder.empty())
        database->AddDictionaryFolder(paths.userDicsFolder);
    listFont = DefaultFont();
    articleFont = DefaultFont();

    SetLightBackground(ListBox1, qRgb(246, 247, 223));
    ListBox1->clear();
    RichEdit1->clear();
    RichEdit1->setPlainText(QString());
    SetLightBackground(RichEdit1, qRgb(239, 239, 225));

    settings->Load(paths.settingsFolder + "Kalvora.ini");
    LoadDictionaryOrder();
    database->AddSources(StandardSourceFolders());
    database->SetSourceCache(SourceCacheFolder());
    database->Load();
    if (database->GetCount() == 0) {
        showErrorMessage(this, ResourceString(2));
        terminated = true;
    }
    LoadFontSettings();
    BuildSectionBar();
    splash->hide();
    // Only now: the splash window would take the icon over from its owner and have every size
    // of it decoded for a window that shows no icon.
    setWindowIcon(ProgramIcon());

    // The client area is what the layout is measured in; the menu bar comes on top of it.
    resize(CLIENT_WIDTH, CLIENT_HEIGHT + menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::BuildSectionBar()
{
    sectionBar->Clear();
    sectionBar->SetUniformColours(uniformBarColours);
    sectionBar->AddSection(ResourceBitmap(101), ResourceString(3), SectionKind::Group);
    sectionBar->AddSection(ResourceBitmap(102), ResourceString(4), SectionKind::Group);
    sectionBar->AddSection(ResourceBitmap(100), ResourceString(5), SectionKind::Group);
    for (std::int32_t i = 0; i < database->GetCount(); ++i) {
        const Dictionary *dictionary = database->GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary->GetAttributes();
        const int section = attributes.category == "EXP" ? 0 : attributes.category == "ENC" ? 1 : 2;
        sectionBar->AddItem(section, ToQString(attributes.shortName), dictionary->GetId());
    }
    sectionBar->AddSection(ResourceBitmap(103), ResourceString(6), SectionKind::CollapseAll);
    sectionBar->AddSection(ResourceBitmap(104), ResourceString(7), SectionKind::ExpandAll);
    sectionBar->ExpandAllSections();
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
    Bevel1->setFixedWidth(client->width());
    Panel1->setGeometry(8, 80, client->width() - 16, client->height() - 88);
    Splitter1->setGeometry(Panel1->rect());
}

void TForm1::FormClose()
{
    settings->Save();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    FormShow();
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
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Without a notification area a hidden window could not be brought back: it stays an
    // ordinary minimised window then.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    stateBeforeMinimise = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    OnMinimize();
}

void TForm1::OnMinimize()
{
    // Posted, so the window system has finished minimising before the window is hidden.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isMinimized())
                hide();
        },
        Qt::QueuedConnection);
}

void TForm1::TrayIcon1Click()
{
    if (isVisible() && !isMinimized())
        return;
    setWindowState(stateBeforeMinimise & ~Qt::WindowMinimized);
    show();
}

void TForm1::LookUp(const QString &word)
{
    WordInput->lineEdit()->setText(word);
    FindButtonClick();
}

void TForm1::BringToFront()
{
    if (isHidden())
        TrayIcon1Click();
    else if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TForm1::ExitProgram()
{
    // Closing a hidden window is not the last window closing, so the program would go on.
    if (close())
        QCoreApplication::quit();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched != WordInput && watched != WordInput->lineEdit())
        || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        WordInputKeyPress(KEY_ENTER);
        return true;
    case Qt::Key_Backspace:
        WordInputKeyPress(KEY_BACKSPACE);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    // Shortcuts with Ctrl (copy, paste, undo...) are not typed characters.
    const Qt::KeyboardModifiers shortcut = Qt::ControlModifier | Qt::MetaModifier;
    if ((key->modifiers() & shortcut) || !IsTypedCharacter(key->text()))
        return false;
    // Alt+letter that no menu took is nobody's input, but the field would insert the letter.
    if (key->modifiers() & Qt::AltModifier)
        return true;
    WordInputKeyPress(key->text().toUcs4().value(0));
    return true;
}

std::string TForm1::WordText() const
{
    return ToCoreText(WordInput->lineEdit()->text());
}

void TForm1::SetWordText(const QString &text, int selectionStart, int selectionLength)
{
    QLineEdit *edit = WordInput->lineEdit();
    edit->setText(text);
    if (selectionStart < 0)
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    else if (selectionLength > 0)
        edit->setSelection(selectionStart, selectionLength);
    else
        edit->setCursorPosition(selectionStart);
}

void TForm1::WordInputKeyPress(char32_t key)
{
    if (key == KEY_ENTER) {
        FindButtonClick();
        return;
    }
    const QLineEdit *edit = WordInput->lineEdit();
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    QString query = edit->text().left(start);
    if (key == KEY_BACKSPACE) {
        // A character beyond U+FFFF is two units, and both go.
        const qsizetype last = query.size() - 1;
        if (last >= 0)
            query.chop(
                last > 0 && query.at(last).isLowSurrogate() && query.at(last - 1).isHighSurrogate()
                    ? 2
                    : 1);
    } else {
        query += QString::fromUcs4(&key, 1);
    }

    // A dictionary that cannot hold a character matches nothing from it on, so a key is taken
    // only when some dictionary continues the whole query.
    const auto characters = static_cast<std::int64_t>(query.toUcs4().size());
    WordPosition found;
    std::int32_t matched = 0;
    const bool accepted = database->Find(0, ToCoreText(query), found, &matched)
        && (matched == 0 || matched == -1 || characters <= matched);
    if (!accepted) {
        if (query.isEmpty())
            SetWordText(QString(), 0, 0);
        return;
    }
    currentWord = found;
    const QString headword = ToQString(database->GetWord(currentWord));
    const int typed = UnitsOfCharacters(headword, static_cast<int>(characters));
    SetWordText(headword, typed, static_cast<int>(headword.size()) - typed);
    sectionBar->SelectItem(currentWord.dicId);
    FillWordList();
}

void TForm1::FindButtonClick()
{
    std::int32_t matched = 0;
    if (database->Find(0, WordText(), currentWord, &matched)) {
        const QString headword = ToQString(database->GetWord(currentWord));
        const int start = matched < 0 ? -1 : UnitsOfCharacters(headword, matched);
        SetWordText(headword, start, static_cast<int>(headword.size()) - start);
        AddToHistory(headword);
        sectionBar->SelectItem(currentWord.dicId);
    } else {
        ListBox1->clear();
    }
    FillWordList();
    ShowArticle();
}

void TForm1::AddToHistory(const QString &word)
{
    // Changing the items can change the field's text; the field must keep what the search put
    // there, selection included.
    QLineEdit *edit = WordInput->lineEdit();
    const QString text = edit->text();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = static_cast<int>(edit->selectedText().size());
    const int cursor = edit->cursorPosition();

    const int index = WordInput->findText(word, Qt::MatchFixedString);
    const bool moved = index > 0;
    if (index != 0) {
        if (moved)
            WordInput->removeItem(index);
        WordInput->insertItem(0, word);
    }
    if (WordInput->count() > HISTORY_SIZE)
        WordInput->removeItem(HISTORY_SIZE);
    WordInput->setCurrentIndex(-1);

    if (moved) {
        edit->setText(word);
    } else {
        edit->setText(text);
        if (selectionStart >= 0)
            edit->setSelection(selectionStart, selectionLength);
        else
            edit->setCursorPosition(cursor);
    }
}

void TForm1::ListBox1Click()
{
    const int line = ListBox1->currentRow();
    if (line < 0 || currentWord.dicId == 0)
        return;
    currentWord.index = line + listFirst;
    SetWordText(ListBox1->item(line)->text(), -1, 0);
    ShowArticle();
}

void TForm1::OnDictionaryClick(std::uint32_t id)
{
    database->Find(id, WordText(), currentWord);
    FillWordList();
    ShowArticle();
    // The pressed button is disabled now, which sent the focus on to the next button, where Enter
    // or Space would silently search another dictionary.
    WordInput->setFocus(Qt::OtherFocusReason);
}

void TForm1::FillWordList()
{
    // Filled with updates off, so a refill is drawn once whatever the number of lines.
    fillingList = true;
    ListBox1->setUpdatesEnabled(false);
    const Dictionary *dictionary =
        currentWord.IsNone() ? nullptr : database->FindById(currentWord.dicId);
    int rows = 0;
    if (dictionary) {
        const std::int64_t count = dictionary->GetWordCount();
        const std::int64_t current = currentWord.index;
        const std::int64_t first = std::max<std::int64_t>(current - LIST_WORDS_BEFORE, 0);
        const std::int64_t last = std::min<std::int64_t>(current + LIST_WORDS_AFTER + 1, count);
        dictionary->GetWords(
            static_cast<std::int32_t>(first), static_cast<std::int32_t>(last), listWords);
        listFirst = listWords.size() ? static_cast<std::int32_t>(first) : -1;
        for (std::size_t i = 0; i < listWords.size(); ++i) {
            const std::string_view word = listWords[i];
            SetListRow(ListBox1, rows++,
                QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
        }
        // The row the current word has, or would have were it in the dictionary.
        const int selected = static_cast<int>(
            std::max<std::int64_t>(std::min(current, std::max(first, last)) - first, 0));
        KeepListRows(ListBox1, rows);
        ListBox1->setCurrentRow(selected);
        // From the top, as a list filled anew scrolls to its current row; the row may be the
        // current one already, which scrolls nowhere by itself.
        ListBox1->scrollToTop();
        ListBox1->scrollToItem(ListBox1->currentItem());
    } else {
        ListBox1->clear();
    }
    ListBox1->setUpdatesEnabled(true);
    fillingList = false;
}

void TForm1::ShowArticle()
{
    articleRequested = true;
    RichEdit1->clear();
    QTextCursor cursor(RichEdit1->document());
    QTextCharFormat plain;
    plain.setFont(RichEdit1->font());
    plain.setForeground(Qt::black);

    if (currentWord.IsNone()) {
        cursor.insertText(QStringLiteral("Не найдено"), plain);
        return;
    }
    const QString headword = ToQString(database->GetWord(currentWord));
    const QString text = headword + QLatin1Char(' ') + ToQString(database->GetArticle(currentWord));

    QTextCharFormat format;
    format.setFontFamilies({AnsiToQString(articleFont.name)});
    // The height is in pixels; the pane works in points of the screen it shows on.
    const double points = std::abs(articleFont.height) * 72.0 / RichEdit1->logicalDpiY();
    format.setFontPointSize(std::max(1.0, std::round(points)));
    format.setFontWeight(articleFont.style & fsBold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(articleFont.style & fsItalic);
    format.setFontUnderline(articleFont.style & fsUnderline);
    format.setFontStrikeOut(articleFont.style & fsStrikeOut);
    format.setForeground(ToQColorOnLight(articleFont.colour));
    cursor.insertText(text, format);

    cursor.setPosition(0);
    cursor.setPosition(static_cast<int>(headword.size()), QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(bold);

    cursor.setPosition(0);
    RichEdit1->setTextCursor(cursor);
    RichEdit1->ensureCursorVisible();
}

void TForm1::RichEdit1DblClick()
{
    QTextCursor selection = RichEdit1->textCursor();
    QTextCharFormat flash;
    flash.setForeground(QColor(255, 0, 255));
    flash.setFontWeight(QFont::Bold);
    selection.mergeCharFormat(flash);
    RichEdit1->viewport()->repaint();
    SleepMilliseconds(DOUBLE_CLICK_FLASH_MS);

    const QString word = selection.selectedText();
    WordInput->lineEdit()->setText(word);
    database->Find(0, ToCoreText(word), currentWord);
    FillWordList();
    ShowArticle();
}

void TForm1::OpenSearch()
{
    if (!SearchForm)
        SearchForm = new TSearchForm(
            database.get(),
            [this](WordPosition position, const QString &phrase) { ShowRecord(position, phrase); },
            this);
    SearchForm->show();
    SearchForm->raise();
    SearchForm->activateWindow();
}

void TForm1::ShowRecord(WordPosition position, const QString &phrase)
{
    const Dictionary *dictionary = database->FindById(position.dicId);
    if (!dictionary || position.index < 0
        || static_cast<std::uint32_t>(position.index) >= dictionary->GetWordCount())
        return;
    currentWord = position;
    SetWordText(ToQString(dictionary->GetWord(position.index)), -1, 0);
    sectionBar->SelectItem(currentWord.dicId);
    FillWordList();
    ShowArticle();
    HighlightPhrase(RichEdit1, *dictionary, phrase);
}

void TForm1::LoadDictionaryOrder()
{
    std::string value;
    settings->GetString("DIC_ORDER", value);
    database->SetOrder(SplitDictionaryOrder(value));
}

void TForm1::LoadFontSettings()
{
    ReadFontKeys(*settings, LIST_FONT_KEY, listFont, false);
    ReadFontKeys(*settings, ARTICLE_FONT_KEY, articleFont, true);
    ApplyFonts(&listFont, &articleFont);
}

void TForm1::SaveFontSettings(const FontDescription &list, const FontDescription &article)
{
    WriteFontKeys(*settings, LIST_FONT_KEY, list);
    WriteFontKeys(*settings, ARTICLE_FONT_KEY, article);
}

void TForm1::ApplyFonts(const FontDescription *list, const FontDescription *article)
{
    if (list) {
        listFont = *list;
        ListBox1->setUpdatesEnabled(false);
        ListBox1->setFont(FontFromDescription(listFont));
        QPalette palette = ListBox1->palette();
        palette.setColor(QPalette::Text, ToQColorOnLight(listFont.colour));
        ListBox1->setPalette(palette);
        ListBox1->setUpdatesEnabled(true);
    }
    if (article) {
        articleFont = *article;
        // Before the first search the pane stays empty rather than saying "nothing found".
        if (articleRequested)
            ShowArticle();
    }
}

void TForm1::ReorderDictionaries(std::vector<std::uint32_t> ids)
{
    database->Reorder(std::move(ids));
}
