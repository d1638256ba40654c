#include "ui/Form_main.h"

#include <memory>

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "controls/Grad_button.h"
#include "support/Ini_file.h"

namespace {

std::vector<FixtureEntry> NumberedWords(int count)
{
    std::vector<FixtureEntry> entries;
    for (int i = 0; i < count; ++i) {
        const std::string number = QStringLiteral("%1").arg(i, 3, 10, QChar('0')).toStdString();
        entries.emplace_back(Ansi("СЛОВО") + number, Ansi("статья номер ") + number);
    }
    return entries;
}

void WriteSampleDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"a_tolk", "11", "EXP", Ansi("Толк"),
            {{Ansi("ДОМ"), Ansi("Здание, где живёт КОТ.")}, {Ansi("ДОМИК"), Ansi("Маленький дом.")},
                {Ansi("ДОМОВОЙ"), Ansi("Дух дома.")}, {Ansi("ДОРОГА"), Ansi("Путь.")},
                {Ansi("КОТ"), Ansi("Домашнее животное.")}, {Ansi("КОШКА"), Ansi("Самка кота.")}}});
    WriteDictionary(folder,
        {"b_enc", "F01D0C05", "ENC", Ansi("Энц"),
            {{Ansi("ДОМ"), Ansi("Жилое строение (энциклопедия).")},
                {Ansi("ЗАМОК"), Ansi("Укреплённое жилище.")}}});
    WriteDictionary(folder, {"c_big", "33", "TERM", Ansi("Много"), NumberedWords(250)});
}

// Typed characters as the keyboard delivers them, Cyrillic included.
void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

class FormMainTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void typingCompletes_data();
    void typingCompletes();
    void enterShowsTheArticle();
    void notFound();
    void historyKeepsThirtyNewestFirst();
    void wordListShowsTheWindow();
    void listClickShowsThatWord();
    void dictionaryButtonSearchesThatDictionary();
    void doubleClickLooksTheWordUp();
    void articleFontInPoints();
    void ctrlShortcutsAreNotTyped();
    void keysThatTypeNothing_data();
    void keysThatTypeNothing();
    void listRowsFitTheListFont_data();
    void listRowsFitTheListFont();
    void darkDesktopPalette();
    void narrowWindowOverflowsTheBar();
    void splashShowedTheLoad();
    void fontsAndOrderSurviveARestart();
    void emptyDicsEndsTheProgram();
    void userFoldersWhenTheProgramFolderIsTheSystems();

private:
    QLineEdit *Edit() const { return form->findChild<QComboBox *>("WordInput")->lineEdit(); }
    QComboBox *Input() const { return form->findChild<QComboBox *>("WordInput"); }
    QListWidget *List() const { return form->findChild<QListWidget *>("ListBox1"); }
    QTextEdit *Article() const { return form->findChild<QTextEdit *>("RichEdit1"); }

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
    QStringList messages;
};

void FormMainTest::initTestCase()
{
    TForm1::showErrorMessage = [this](QWidget *, const QString &text) { messages << text; };
    folder = std::make_unique<TestFolder>();
    WriteSampleDictionaries(*folder);
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QVERIFY(messages.isEmpty());
}

void FormMainTest::init()
{
    Edit()->clear();
    Edit()->setFocus();
}

void FormMainTest::cleanupTestCase()
{
    form.reset();
    folder.reset();
}

void FormMainTest::typingCompletes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<QString>("selected");

    QTest::newRow("first letter") << QString("д") << QString("ДОМ") << 1 << QString("ОМ");
    QTest::newRow("impossible letter rejected")
        << QString("домж") << QString("ДОМ") << 3 << QString();
    QTest::newRow("backspace completes again")
        << QString("дом\b") << QString("ДОМ") << 2 << QString("М");
    QTest::newRow("backspace over the last letter empties")
        << QString("д\b\b") << QString() << 0 << QString();
}

void FormMainTest::typingCompletes()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(int, selectionStart);
    for (const QChar c : typed) {
        if (c == QLatin1Char('\b'))
            QTest::keyClick(Input(), Qt::Key_Backspace);
        else
            Type(Input(), QString(c));
    }
    QCOMPARE(Edit()->text(), text);
    QCOMPARE(Edit()->selectedText(), selected);
    const int start =
        Edit()->hasSelectedText() ? Edit()->selectionStart() : Edit()->cursorPosition();
    QCOMPARE(start, selectionStart);
}

void FormMainTest::enterShowsTheArticle()
{
    Type(Input(), QStringLiteral("дом"));
    QTest::keyClick(Input(), Qt::Key_Return);
    QCOMPARE(Article()->toPlainText(), QStringLiteral("ДОМ Здание, где живёт КОТ."));
    QCOMPARE(form->CurrentWord().dicId, 0x11u);
    QCOMPARE(Input()->itemText(0), QStringLiteral("ДОМ"));

    // A word that is no headword shows the nearest one with the tail that differs selected.
    Edit()->setText(QStringLiteral("доска"));
    form->FindButtonClick();
    QCOMPARE(Edit()->text(), QStringLiteral("ДОМ"));
    QCOMPARE(Edit()->selectedText(), QStringLiteral("М"));
    QVERIFY(Article()->toPlainText().startsWith(QStringLiteral("ДОМ ")));
}

void FormMainTest::notFound()
{
    Edit()->setText(QStringLiteral("ъ"));
    form->FindButtonClick();
    QCOMPARE(Article()->toPlainText(), QStringLiteral("Не найдено"));
    QCOMPARE(List()->count(), 0);
    QVERIFY(form->CurrentWord().IsNone());
    const QTextCharFormat format =
        Article()->document()->firstBlock().begin().fragment().charFormat();
    QCOMPARE(format.foreground().color(), QColor(Qt::black));
    QVERIFY(format.fontWeight() != QFont::Bold);
}

void FormMainTest::historyKeepsThirtyNewestFirst()
{
    Input()->clear();
    for (int i = 0; i <= 30; ++i) {
        Edit()->setText(QStringLiteral("СЛОВО%1").arg(i, 3, 10, QChar('0')));
        form->FindButtonClick();
    }
    QCOMPARE(Input()->count(), 30);
    QCOMPARE(Input()->itemText(0), QStringLiteral("СЛОВО030"));
    QCOMPARE(Input()->itemText(29), QStringLiteral("СЛОВО001"));

    Edit()->setText(QStringLiteral("слово005"));
    form->FindButtonClick();
    QCOMPARE(Input()->count(), 30);
    // What was typed, moved up rather than repeated.
    QCOMPARE(Input()->itemText(0), QStringLiteral("слово005"));
    QCOMPARE(Input()->findText(QStringLiteral("СЛОВО005")), -1);
    QCOMPARE(Edit()->text(), QStringLiteral("СЛОВО005"));

    // Choosing an item only fills the field.
    const WordPosition before = form->CurrentWord();
    Input()->setCurrentIndex(3);
    QCOMPARE(form->CurrentWord().index, before.index);
}

void FormMainTest::wordListShowsTheWindow()
{
    Edit()->setText(QStringLiteral("СЛОВО150"));
    form->FindButtonClick();
    QCOMPARE(List()->count(), 200);
    QCOMPARE(List()->currentRow(), 100);
    QCOMPARE(List()->item(0)->text(), QStringLiteral("СЛОВО050"));
    // Rows are reused from the previous search's list: none may be left over from it.
    Edit()->setText(QStringLiteral("СЛОВО249"));
    form->FindButtonClick();
    QCOMPARE(List()->count(), 101);
    QCOMPARE(List()->item(100)->text(), QStringLiteral("СЛОВО249"));
    QVERIFY(List()->isVisible());
    QVERIFY(List()->viewport()->rect().contains(List()->visualItemRect(List()->currentItem())));
}

void FormMainTest::listClickShowsThatWord()
{
    Edit()->setText(QStringLiteral("СЛОВО150"));
    form->FindButtonClick();
    const int historyCount = Input()->count();
    QListWidgetItem *item = List()->item(3);
    QTest::mouseClick(
        List()->viewport(), Qt::LeftButton, {}, List()->visualItemRect(item).center());
    QCOMPARE(form->CurrentWord().index, 53);
    QCOMPARE(Edit()->text(), QStringLiteral("СЛОВО053"));
    QCOMPARE(Article()->toPlainText(), QStringLiteral("СЛОВО053 статья номер 053"));
    QCOMPARE(List()->item(0)->text(), QStringLiteral("СЛОВО050"));
    QCOMPARE(Input()->count(), historyCount);

    // The keyboard walks the list as well.
    QTest::keyClick(List(), Qt::Key_Down);
    QCOMPARE(Article()->toPlainText(), QStringLiteral("СЛОВО054 статья номер 054"));
}

void FormMainTest::dictionaryButtonSearchesThatDictionary()
{
    Edit()->setText(QStringLiteral("дом"));
    form->FindButtonClick();
    QCOMPARE(form->CurrentWord().dicId, 0x11u);

    TGradButton *button = nullptr;
    for (TGradButton *candidate : form->findChildren<TGradButton *>()) {
        if (candidate->Caption() == QStringLiteral("Энц"))
            button = candidate;
    }
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(form->CurrentWord().dicId, 0xF01D0C05u);
    QCOMPARE(Article()->toPlainText(), QStringLiteral("ДОМ Жилое строение (энциклопедия)."));
    QCOMPARE(List()->count(), 2);
    QVERIFY(!button->isEnabled());
    QCOMPARE(Edit()->text(), QStringLiteral("ДОМ"));
    // The pressed button is disabled; the focus goes back to the field, not on to its neighbour.
    QTRY_VERIFY(Input()->hasFocus());
}

void FormMainTest::doubleClickLooksTheWordUp()
{
    Edit()->setText(QStringLiteral("дом"));
    form->FindButtonClick();
    const int historyCount = Input()->count();

    QTextCursor cursor(Article()->document());
    cursor.setPosition(
        static_cast<int>(Article()->toPlainText().indexOf(QStringLiteral("КОТ"))) + 1);
    const QPoint at = Article()->cursorRect(cursor).center();
    QTest::mouseDClick(Article()->viewport(), Qt::LeftButton, {}, at);

    QCOMPARE(Edit()->text(), QStringLiteral("КОТ"));
    QCOMPARE(Article()->toPlainText(), QStringLiteral("КОТ Домашнее животное."));
    QCOMPARE(form->CurrentWord().index, 4);
    QCOMPARE(List()->currentItem()->text(), QStringLiteral("КОТ"));
    QCOMPARE(Input()->count(), historyCount);
}

void FormMainTest::articleFontInPoints()
{
    FontDescription article{"Serif", -13, fsItalic, 0x0000FF};
    form->ApplyFonts(nullptr, &article);
    Edit()->setText(QStringLiteral("кошка"));
    form->FindButtonClick();

    QTextCursor cursor(Article()->document());
    cursor.setPosition(1);
    const QTextCharFormat headword = cursor.charFormat();
    cursor.setPosition(Article()->toPlainText().size());
    const QTextCharFormat body = cursor.charFormat();
    const double points = std::round(13.0 * 72.0 / Article()->logicalDpiY());
    QCOMPARE(body.fontPointSize(), points);
    QCOMPARE(headword.fontWeight(), int(QFont::Bold));
    QVERIFY(headword.fontItalic());
    QVERIFY(body.fontWeight() != QFont::Bold);
    QCOMPARE(body.foreground().color(), QColor(255, 0, 0));
}

void FormMainTest::ctrlShortcutsAreNotTyped()
{
    Type(Input(), QStringLiteral("дом"));
    Edit()->selectAll();
    QTest::keyClick(Input(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ДОМ"));
    QCOMPARE(Edit()->text(), QStringLiteral("ДОМ"));
    QTest::keyClick(Input(), Qt::Key_Left);
    QCOMPARE(Edit()->text(), QStringLiteral("ДОМ"));
    QCOMPARE(Edit()->cursorPosition(), 2);
}

void FormMainTest::keysThatTypeNothing_data()
{
    QTest::addColumn<QString>("typedFirst");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("keyText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("clipboard");
    // "д" typed gives "ДОМ" with "ОМ" selected. X gives Delete the text "\x7F".
    const QString del = QString(QChar(0x7F));
    QTest::newRow("delete removes the completion")
        << QString("д") << int(Qt::Key_Delete) << int(Qt::NoModifier) << del << QString("Д")
        << QString() << QString();
    QTest::newRow("shift+delete cuts it")
        << QString("д") << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << del << QString("Д")
        << QString() << QString("ОМ");
    QTest::newRow("alt+letter without a menu")
        << QString() << int(Qt::Key_R) << int(Qt::AltModifier) << QString("к") << QString()
        << QString() << QString();
    QTest::newRow("alt+letter after a word")
        << QString("д") << int(Qt::Key_J) << int(Qt::AltModifier) << QString("о") << QString("ДОМ")
        << QString("ОМ") << QString();
    QTest::newRow("control character from an input method")
        << QString("д") << int(Qt::Key_unknown) << int(Qt::NoModifier) << QString(QChar(0x01))
        << QString("ДОМ") << QString("ОМ") << QString();
}

void FormMainTest::keysThatTypeNothing()
{
    QFETCH(QString, typedFirst);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, keyText);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(QString, clipboard);
    QGuiApplication::clipboard()->clear();
    Type(Input(), typedFirst);
    const WordPosition before = form->CurrentWord();
    QTest::sendKeyEvent(
        QTest::Click, Input(), Qt::Key(key), keyText, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(Edit()->text(), text);
    QCOMPARE(Edit()->selectedText(), selected);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QCOMPARE(form->CurrentWord().index, before.index);
    QCOMPARE(form->CurrentWord().dicId, before.dicId);

    // A menu's own letter still opens that menu.
    QTest::sendKeyEvent(
        QTest::Click, Input(), Qt::Key(0x424), QStringLiteral("ф"), Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QCOMPARE(QApplication::activePopupWidget()->objectName(), QStringLiteral("N4"));
    QApplication::activePopupWidget()->close();
    QCOMPARE(Edit()->text(), text);
}

void FormMainTest::listRowsFitTheListFont_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rowHeight");
    QTest::newRow("default font keeps 19") << 0 << 19;
    QTest::newRow("small font keeps 19") << -11 << 19;
    QTest::newRow("large font grows the rows") << -26 << -1;
}

void FormMainTest::listRowsFitTheListFont()
{
    QFETCH(int, height);
    QFETCH(int, rowHeight);
    const FontDescription saved = form->ListFont();
    FontDescription list = saved;
    if (height != 0)
        list.height = height;
    // Rows already in the list follow the new font, as do rows added later.
    Edit()->setText(QStringLiteral("СЛОВО150"));
    form->FindButtonClick();
    form->ApplyFonts(&list, nullptr);
    const int needed = QFontMetrics(List()->font()).height();
    if (rowHeight < 0) {
        rowHeight = needed;
        QVERIFY(needed > 19);
    }
    QVERIFY(rowHeight >= needed);
    for (int refill = 0; refill < 2; ++refill) {
        QTRY_COMPARE(List()->visualItemRect(List()->item(1)).height(), rowHeight);
        QCOMPARE(List()->visualItemRect(List()->item(1)).top(),
            List()->visualItemRect(List()->item(0)).bottom() + 1);
        form->FindButtonClick();
    }
    form->ApplyFonts(&saved, nullptr);
}

void FormMainTest::darkDesktopPalette()
{
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(0x30, 0x30, 0x30));
        dark.setColor(group, QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(group, QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
        dark.setColor(group, QPalette::HighlightedText, QColor(0xdd, 0xdd, 0xdd));
    }
    QApplication::setPalette(dark);
    TestFolder other;
    WriteSampleDictionaries(other);
    TForm1 second(other.Path());
    QApplication::setPalette(saved);

    // Against the program's own light backgrounds the desktop's colours would vanish.
    const auto *loading = second.findChild<QLabel *>("Label1");
    QCOMPARE(loading->palette().color(QPalette::WindowText), QColor(Qt::black));
    auto *list = second.findChild<QListWidget *>("ListBox1");
    QCOMPARE(list->palette().color(QPalette::Base), QColor(246, 247, 223));
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(list->palette().color(group, QPalette::Text), QColor(Qt::black));
        QCOMPARE(list->palette().color(group, QPalette::HighlightedText), QColor(Qt::white));
        QCOMPARE(list->palette().color(group, QPalette::Highlight), QColor(0x30, 0x8C, 0xC6));
    }
    second.findChild<QComboBox *>("WordInput")->lineEdit()->setText(QStringLiteral("дом"));
    second.FindButtonClick();
    auto *article = second.findChild<QTextEdit *>("RichEdit1");
    QTextCursor cursor(article->document());
    cursor.setPosition(static_cast<int>(article->toPlainText().size()));
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(Qt::black));
    QCOMPARE(article->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(article->palette().color(QPalette::HighlightedText), QColor(Qt::white));

    // A colour of the user's own is kept as it is.
    FontDescription red = second.ListFont();
    red.colour = 0x0000FF;
    second.ApplyFonts(&red, &red);
    QCOMPARE(list->palette().color(QPalette::Text), QColor(255, 0, 0));
    cursor = QTextCursor(article->document());
    cursor.setPosition(static_cast<int>(article->toPlainText().size()));
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(255, 0, 0));
}

void FormMainTest::narrowWindowOverflowsTheBar()
{
    TestFolder many;
    const char *const names[] = {"GCIDE", "WordNet", "FOLDOC", "Jargon", "Vera", "Devil",
        "Elements", "Eng-Rus", "\xD0\xD3\xF1-\xC0\xED\xE3\xEB"};
    int number = 0;
    for (const char *name : names) {
        ++number;
        WriteDictionary(many,
            {"d" + std::to_string(number), std::to_string(number), number % 2 ? "EXP" : "ENC", name,
                {{Ansi("ДОМ"), Ansi("статья")}}});
    }
    TForm1 narrow(many.Path());
    narrow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&narrow));
    auto *client = narrow.findChild<QWidget *>("ClientArea");
    for (const int width : {500, 621, 2000}) {
        narrow.resize(width, narrow.height());
        QTRY_COMPARE(client->width(), width);
        const TGradButton *more = narrow.GetSectionBar()->OverflowButton();
        const bool overflowing = more && more->isVisible();
        QCOMPARE(overflowing, width < 1000);
        const int limit = overflowing ? more->x() : width;
        if (overflowing)
            QCOMPARE(more->x() + more->width(), width);
        int shown = 0;
        int hidden = 0;
        for (const TGradButton *button : client->findChildren<TGradButton *>()) {
            if (button == more || button->objectName() == "FindButton")
                continue;
            if (button->isVisible()) {
                ++shown;
                QVERIFY(button->x() + button->width() <= limit);
            } else {
                ++hidden;
            }
        }
        QCOMPARE(shown + hidden, 5 + 9);
        QCOMPARE(hidden == 0, !overflowing);
    }
}

void FormMainTest::splashShowedTheLoad()
{
    auto *splash = form->findChild<QWidget *>("SplashForm");
    QVERIFY(splash);
    QVERIFY(!splash->isVisible());
    auto *progress = splash->findChild<QProgressBar *>("ProgressBar1");
    QCOMPARE(progress->maximum(), 3);
    QCOMPARE(progress->value(), 3);
    QCOMPARE(splash->findChild<QLabel *>("DicLabel")->text(), QStringLiteral("c_big"));

    // Every report of the load reaches the splash window unscaled.
    form->OnLoadProgress(7, 0);
    QCOMPARE(progress->maximum(), 7);
    QCOMPARE(progress->value(), 0);
    // Folder names are the file system's UTF-8.
    form->OnDictionaryLoading("словарь");
    QCOMPARE(splash->findChild<QLabel *>("DicLabel")->text(), QStringLiteral("словарь"));
    form->OnLoadProgress(7, 5);
    QCOMPARE(progress->value(), 5);
}

void FormMainTest::fontsAndOrderSurviveARestart()
{
    TestFolder other;
    WriteSampleDictionaries(other);
    other.WriteFile("Kalvora.ini", "DIC_ORDER=c_big;b_enc;\r\n");
    FontDescription list{"Mono", -15, fsBold | fsItalic | fsUnderline, 0x00FF00};
    FontDescription article{"Serif", -20, 0, 0};
    {
        TForm1 first(other.Path());
        QCOMPARE(first.GetDatabase()->GetDictionary(0)->GetFolderName(), std::string("c_big"));
        QCOMPARE(first.GetDatabase()->GetDictionary(2)->GetFolderName(), std::string("a_tolk"));
        first.SaveFontSettings(list, article);
        first.close();
    }
    // The window's place is kept beside the fonts and the order.
    QCOMPARE(QString::fromStdString(other.ReadFile("Kalvora.ini"))
                 .remove(QRegularExpression("(LIST_WIDTH|WINDOW_[A-Z]+)=-?\\d+\r\n")),
        QString("DIC_ORDER=c_big;b_enc;\r\n"
                "LIST_FONT=Mono\r\nLIST_FONT_BOLD=1\r\nLIST_FONT_COLOR=65280\r\n"
                "LIST_FONT_HEIGHT=-15\r\nLIST_FONT_ITALIC=1\r\n"
                "PARTICLE_FONT=Serif\r\nPARTICLE_FONT_BOLD=0\r\nPARTICLE_FONT_COLOR=0\r\n"
                "PARTICLE_FONT_HEIGHT=-20\r\nPARTICLE_FONT_ITALIC=0\r\n"));

    TForm1 second(other.Path());
    QCOMPARE(second.ListFont(), (FontDescription{"Mono", -15, fsBold | fsItalic, 0x00FF00}));
    // A stored article colour of 0 leaves the new font's colour.
    QCOMPARE(second.ArticleFont().name, std::string("Serif"));
    QCOMPARE(second.ArticleFont().height, -20);
    QCOMPARE(second.ArticleFont().colour, WINDOW_TEXT_COLOUR);
    QCOMPARE(second.findChild<QListWidget *>("ListBox1")->font().pixelSize(), 15);
    QVERIFY(second.findChild<QListWidget *>("ListBox1")->font().bold());
}

void FormMainTest::emptyDicsEndsTheProgram()
{
    TestFolder empty;
    empty.MakeFolder("dics");
    messages.clear();
    // Nothing of the splash window is in sight while the message is.
    bool splashShown = false;
    TForm1::showErrorMessage = [this, &splashShown](QWidget *owner, const QString &text) {
        messages << text;
        for (const QWidget *child : owner->findChildren<QWidget *>("DicLabel"))
            splashShown = splashShown || child->isVisible();
    };
    {
        TForm1 doomed(empty.Path());
        QVERIFY(doomed.Terminated());
    }
    TForm1::showErrorMessage = [this](QWidget *, const QString &text) { messages << text; };
    QCOMPARE(messages,
        QStringList{QStringLiteral("Не найдено ни одного словаря\n\nСловари искались в папках:\n")
            + QString::fromStdString(empty.Path() + "dics")});
    QVERIFY(!splashShown);
    QVERIFY(!empty.Exists("Kalvora.ini"));
    QVERIFY(empty.ReadFile("file.log").find("[TForm1::TForm1] Log created\n") != std::string::npos);
}

void FormMainTest::userFoldersWhenTheProgramFolderIsTheSystems()
{
    TestFolder system;
    WriteSampleDictionaries(system);
    TestFolder home;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path() + "config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Path() + "data"));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(home.Path() + "state"));
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("kalvora"));
    WriteDictionary(home, {"mine", "44", "EXP", "Mine", {{"ZZ", "z"}}}, "data/kalvora/dics");

    const ProgramPaths paths = LocateProgramPaths(system.Path(), false);
    QCOMPARE(paths.settingsFolder, home.Path() + "config/kalvora/");
    QCOMPARE(paths.logFolder, home.Path() + "state/kalvora/");
    QCOMPARE(paths.userDicsFolder, home.Path() + "data/kalvora/dics/");
    {
        TForm1 installed(paths);
        QCOMPARE(installed.GetDatabase()->GetCount(), 4);
        QCOMPARE(installed.GetDatabase()->GetDictionary(3)->GetFolderName(), std::string("mine"));
        installed.close();
    }
    QVERIFY(home.Exists("config/kalvora/Kalvora.ini"));
    QVERIFY(home.ReadFile("state/kalvora/file.log").find("Log created") != std::string::npos);
    QVERIFY(!system.Exists("Kalvora.ini"));
    QVERIFY(!system.Exists("file.log"));

    // A folder the program may write keeps everything beside it.
    const ProgramPaths portable = LocateProgramPaths(system.Path(), true);
    QCOMPARE(portable.settingsFolder, system.Path());
    QCOMPARE(portable.logFolder, system.Path());
    QVERIFY(portable.userDicsFolder.empty());
    QCoreApplication::setApplicationName(name);
}

QTEST_MAIN(FormMainTest)
#include "Form_main_test.moc"
