#include "ui/Suggestion_strip.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "lookup/Suggestions.h"
#include "lookup/Word_forms.h"
#include "support/Ini_file.h"
#include "support/Word_history.h"
#include "ui/Form_main.h"

namespace {

// Typed characters as the keyboard delivers them.
void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Writes a file into a named pipe once released, or after ten seconds: what a slow disk does to
// whoever opens the pipe to read it meanwhile.
class HeldFile
{
public:
    HeldFile(std::string path, std::string bytes)
        : path(std::move(path))
    {
        mkfifo(this->path.c_str(), 0600);
        writer = std::thread([this, bytes = std::move(bytes)] {
            released.get_future().wait_for(std::chrono::seconds(10));
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            int fd = -1;
            // No reader yet: the open fails rather than blocks.
            while ((fd = open(this->path.c_str(), O_WRONLY | O_NONBLOCK)) < 0
                && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (fd >= 0) {
                fcntl(fd, F_SETFL, 0);
                [[maybe_unused]] const ssize_t written = write(fd, bytes.data(), bytes.size());
                close(fd);
            }
        });
    }
    ~HeldFile()
    {
        Release();
        writer.join();
    }
    void Release()
    {
        if (!done) {
            done = true;
            released.set_value();
        }
    }

private:
    std::string path;
    std::promise<void> released;
    bool done = false;
    std::thread writer;
};

} // namespace

// The strip above the article in the main window: what it says, its links by mouse and keyboard,
// and the headword of a form shown for a word from outside the field.
class SuggestionStripTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void noteForWhatEnterFinds_data();
    void noteForWhatEnterFinds();
    void wordFromOutsideShowsTheHeadwordOfItsForm_data();
    void wordFromOutsideShowsTheHeadwordOfItsForm();
    void linksAreReachedByKeyboardAndMouse();
    void refusedKeyShowsWhatTheWordMayHaveBeen();
    void patternFillsTheListInIndexOrder();
    void missNeverWaitsForTheWordForms();

private:
    QLineEdit *Edit() const { return form->findChild<QComboBox *>("WordInput")->lineEdit(); }
    QListWidget *List() const { return form->findChild<QListWidget *>("ListBox1"); }
    QTextEdit *Article() const { return form->findChild<QTextEdit *>("RichEdit1"); }
    TSuggestionStrip *Strip() const
    {
        return form->findChild<TSuggestionStrip *>("SuggestionStrip");
    }
    QString Shown() const
    {
        return Strip()->isVisible() ? Strip()->accessibleDescription() : QString();
    }

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void SuggestionStripTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    folder = std::make_unique<TestFolder>();
    WriteDictionary(*folder,
        {"a_rus", "11", "EXP", Ansi("Толк"),
            {{Ansi("ДОМ"), Ansi("Здание.")}, {Ansi("ДОМА"), Ansi("Не в гостях.")},
                {Ansi("ДОМИК"), Ansi("Маленький дом между домами.")},
                {Ansi("ЁЛКА"), Ansi("Дерево.")}}});
    WriteDictionary(*folder,
        {"b_eng", "22", "EXP", "English",
            {{"recipe", "how to cook"}, {"receive", "get"}, {"relieve", "ease"}}, "UTF-8"});
    folder->WriteFile("hunspell/ru_RU.aff", "SET UTF-8\nSFX A Y 1\nSFX A 0 ами .\n");
    folder->WriteFile("hunspell/ru_RU.dic", "1\nдом/A\n");
    qputenv("KALVORA_HUNSPELL_PATH", QByteArray::fromStdString(folder->Path() + "hunspell"));
    qputenv("KALVORA_WORDNET_PATH", QByteArray::fromStdString(folder->Path() + "none"));
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void SuggestionStripTest::init()
{
    Edit()->setText(QStringLiteral("дом"));
    form->FindButtonClick();
    Edit()->clear();
    Edit()->setFocus();
}

void SuggestionStripTest::cleanupTestCase()
{
    form.reset();
    qunsetenv("KALVORA_HUNSPELL_PATH");
    qunsetenv("KALVORA_WORDNET_PATH");
}

void SuggestionStripTest::noteForWhatEnterFinds_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("article");
    QTest::newRow("exact match: no strip") << QString("дом") << QString() << QString("ДОМ Здание.");
    QTest::newRow("misspelt: the longest beginning stands, the strip offers the rest")
        << QString("recieve")
        << QString("«recieve» нет в словарях. Возможно: receive, relieve, recipe")
        << QString("recipe how to cook");
    QTest::newRow("form: the longest beginning stands")
        << QString("домами") << QString("«домами» → ДОМ") << QString("ДОМА Не в гостях.");
    QTest::newRow("folded") << QString("елка") << QString("«елка» → ЁЛКА") << QString("Не найдено");
    QTest::newRow("nothing near") << QString("zzzz") << QString("«zzzz» нет в словарях.")
                                  << QString("Не найдено");
}

void SuggestionStripTest::noteForWhatEnterFinds()
{
    QFETCH(QString, word);
    QFETCH(QString, note);
    QFETCH(QString, article);
    Edit()->setText(word);
    QTest::keyClick(form->findChild<QComboBox *>("WordInput"), Qt::Key_Return);
    // The word forms may still be on their way: the note fills in when they come.
    QTRY_COMPARE(Shown(), note);
    QCOMPARE(Article()->toPlainText(), article);
}

void SuggestionStripTest::wordFromOutsideShowsTheHeadwordOfItsForm_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("note");
    QTest::newRow("command line, form")
        << false << QString("домами") << QString("ДОМ Здание.") << QString("«домами» → ДОМ");
    QTest::newRow("command line, folded")
        << false << QString("елка") << QString("ЁЛКА Дерево.") << QString("«елка» → ЁЛКА");
    QTest::newRow("command line, headword")
        << false << QString("дома") << QString("ДОМА Не в гостях.") << QString();
    QTest::newRow("double click, form")
        << true << QString("домами") << QString("ДОМ Здание.") << QString("«домами» → ДОМ");
}

void SuggestionStripTest::wordFromOutsideShowsTheHeadwordOfItsForm()
{
    QFETCH(bool, doubleClick);
    QFETCH(QString, word);
    QFETCH(QString, article);
    QFETCH(QString, note);
    if (doubleClick) {
        Edit()->setText(QStringLiteral("домик"));
        form->FindButtonClick();
        QTextCursor cursor(Article()->document());
        cursor.setPosition(static_cast<int>(Article()->toPlainText().indexOf(word)) + 1);
        QTest::mouseDClick(
            Article()->viewport(), Qt::LeftButton, {}, Article()->cursorRect(cursor).center());
    } else {
        form->LookUp(word);
    }
    QCOMPARE(Article()->toPlainText(), article);
    QCOMPARE(Shown(), note);
    QCOMPARE(Edit()->text(), article.section(' ', 0, 0));
}

void SuggestionStripTest::linksAreReachedByKeyboardAndMouse()
{
    Edit()->setText(QStringLiteral("recieve"));
    form->FindButtonClick();
    QCOMPARE(Strip()->accessibleName(), QStringLiteral("Подсказки"));
    // Tab from the field reaches the strip's first link; Enter follows it.
    QTest::keyClick(Edit(), Qt::Key_Tab);
    QTRY_VERIFY(Strip()->hasFocus());
    QTest::keyClick(Strip(), Qt::Key_Return);
    QCOMPARE(Article()->toPlainText(), QStringLiteral("receive get"));
    QCOMPARE(Edit()->text(), QStringLiteral("receive"));
    QVERIFY(!Strip()->isVisible());

    // A click on the second link.
    Edit()->setText(QStringLiteral("recieve"));
    form->FindButtonClick();
    emit Strip()->linkActivated(QStringLiteral("1"));
    QCOMPARE(Article()->toPlainText(), QStringLiteral("relieve ease"));
    // A chosen word is in the history on disk at once, as a word found by Enter is.
    IniFile settings;
    settings.Load(folder->Path() + "Kalvora.ini");
    const std::vector<std::string> history = ReadWordHistory(settings);
    QVERIFY(!history.empty());
    QCOMPARE(history.front(), std::string("relieve"));
}

void SuggestionStripTest::refusedKeyShowsWhatTheWordMayHaveBeen()
{
    QComboBox *input = form->findChild<QComboBox *>("WordInput");
    Type(input, QStringLiteral("relx"));
    QCOMPARE(Edit()->text(), QStringLiteral("relieve"));
    QTRY_COMPARE(Shown(), QStringLiteral("«relx» нет в словарях."));
    // A key taken again leaves the strip nothing to say.
    Type(input, QStringLiteral("i"));
    QCOMPARE(Shown(), QString());
    Type(input, QStringLiteral("eb"));
    QTRY_COMPARE(Shown(), QStringLiteral("«relieb» нет в словарях. Возможно: relieve"));
}

void SuggestionStripTest::patternFillsTheListInIndexOrder()
{
    Type(form->findChild<QComboBox *>("WordInput"), QStringLiteral("re*e"));
    QCOMPARE(Edit()->text(), QStringLiteral("re*e"));
    QTest::keyClick(form->findChild<QComboBox *>("WordInput"), Qt::Key_Return);
    QStringList rows;
    for (int row = 0; row < List()->count(); ++row)
        rows << List()->item(row)->text();
    QCOMPARE(rows, QStringList({"recipe", "receive", "relieve"}));
    QCOMPARE(Article()->toPlainText(), QStringLiteral("recipe how to cook"));
    QTest::mouseClick(
        List()->viewport(), Qt::LeftButton, {}, List()->visualItemRect(List()->item(2)).center());
    QCOMPARE(Article()->toPlainText(), QStringLiteral("relieve ease"));
    QCOMPARE(Shown(), QString());
}

void SuggestionStripTest::missNeverWaitsForTheWordForms()
{
    TestFolder own;
    WriteDictionary(
        own, {"rus", "33", "EXP", Ansi("Толк"), {{Ansi("ДОМ"), "a"}, {Ansi("ДОМА"), "a"}}});
    own.WriteFile("hunspell/ru_RU.aff", "SET UTF-8\nSFX A Y 1\nSFX A 0 ами .\n");
    own.WriteFile("hunspell/ru_RU.dic", "1\nдом/A\n");
    own.WriteFile("wordnet/noun.exc", "children child\n");
    WordForms forms(own.Path() + "hunspell", own.Path() + "wordnet");
    Database database(own.Path(), nullptr);
    database.Load();
    Suggester suggester(database, &forms);
    // The reading stops at WordNet's list of verbs until the test lets it go on.
    HeldFile verbs(own.Path() + "wordnet/verb.exc", "went go\n");
    TSuggestionStrip strip;
    strip.ShowSuggestions(suggester, "домами");
    QCOMPARE(
        strip.accessibleDescription(), QStringLiteral("«домами» нет в словарях. Возможно: ДОМА"));
    // A strip that has gone on to another note keeps it when the forms arrive.
    TSuggestionStrip movedOn;
    movedOn.ShowSuggestions(suggester, "домами");
    movedOn.ShowNote(SuggestionNote());
    verbs.Release();
    QTRY_COMPARE(strip.accessibleDescription(), QStringLiteral("«домами» → ДОМ"));
    QTest::qWait(200);
    QVERIFY(movedOn.Note().Empty());
}

QTEST_MAIN(SuggestionStripTest)
#include "Suggestion_strip_test.moc"
