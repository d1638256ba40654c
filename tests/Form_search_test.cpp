#include "ui/Form_search.h"

#include <memory>
#include <set>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTextEdit>
#include <QThread>
#include <QTreeView>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Utils.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

namespace {

// Two small dictionaries, then four larger ones so that a search takes long enough to be
// stopped on the way.
void WriteDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"a", "A1", "EXP", "A",
            {{Ansi("КИТ"), Ansi("Зверь. Большой ДОМ кита.")}, {Ansi("КОТ"), Ansi("Живёт в доме.")},
                {Ansi("ЛЕС"), Ansi("Деревья.")}}});
    WriteDictionary(folder, {"b", "B2", "ENC", "B", {{Ansi("ДОМ"), Ansi("Дом в B. Дом и дом.")}}});
    for (int d = 0; d < 4; ++d) {
        FixtureDictionary big{"big" + std::to_string(d), "C" + std::to_string(d), "EXP",
            "Big" + std::to_string(d), {}};
        for (int i = 0; i < 50000; ++i)
            big.entries.push_back({"w" + std::to_string(100000 + i),
                Ansi("Длинная статья о словах, в которой есть много букв и одна дата ")
                    + std::to_string(i)});
        WriteDictionary(folder, big);
    }
    // Two headwords of one article.
    folder.WriteFile(
        "dics/s/s.inf", Utf16le("FORMAT_VERSION=1.0\r\nDIC_ID=E5\r\nSHORT_NAME=S\r\n"));
    folder.WriteFile("dics/s/s.idx", Ansi("МИР\t0\nПОКОЙ\t0\n"));
    folder.WriteFile("dics/s/s.dat", Ansi("Тишина и покой.\n"));
    // UTF-8, where the small yo is the capital yo's, with a character of two UTF-16 units.
    folder.WriteFile("dics/u/u.inf",
        Utf16le("FORMAT_VERSION=1.0\r\nENCODING=UTF-8\r\nDIC_ID=D4\r\nSHORT_NAME=U\r\n"));
    folder.WriteFile("dics/u/u.idx", "\xD0\x81\xD0\x96\t0\n");
    folder.WriteFile(
        "dics/u/u.dat", "\xF0\x9D\x94\xB8 \xD1\x91\xD0\xB6 \xD0\xB8 \xD0\x81\xD0\xB6.\n");
}

// Articles that hold the phrase, found one record at a time through GetArticle.
std::size_t CountByHand(Database &database, const QString &phrase)
{
    const std::string own = ToUpper(ToAnsi(phrase));
    std::size_t count = 0;
    for (std::int32_t d = 0; d < database.GetCount(); ++d) {
        Dictionary &dictionary = *database.GetDictionary(d);
        std::set<std::int32_t> articles;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(dictionary.GetWordCount()); ++i)
            if (ToUpper(ToAnsi(ToQString(dictionary.GetArticle(i)))).find(own) != std::string::npos)
                articles.insert(dictionary.GetArticleOffset(i));
        count += articles.size();
    }
    return count;
}

// The pane's text as 'x' for each character marked yellow and '.' for each other one.
QString Marks(const QTextEdit *pane)
{
    QString marks;
    for (int i = 1; i <= pane->toPlainText().size(); ++i) {
        QTextCursor cursor(pane->document());
        cursor.setPosition(i);
        marks += cursor.charFormat().background().color() == QColor(255, 255, 0) ? 'x' : '.';
    }
    return marks;
}

} // namespace

class FormSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void menuCommandOpensTheWindow();
    void controlsHaveRussianNamesAndTabOrder();
    void findsWhatAScanByHandFinds_data();
    void findsWhatAScanByHandFinds();
    void choosingAResultShowsItMarked_data();
    void choosingAResultShowsItMarked();
    void marksByTheRuleOfTheChosenDictionary();
    void stoppedSearchLeavesNothingBehind();
    void closingFreesTheResults();

private:
    QLineEdit *Phrase() const { return search->findChild<QLineEdit *>("PhraseEdit"); }
    QTreeView *List() const { return search->findChild<QTreeView *>("ResultList"); }
    void SearchFor(const QString &phrase);
    void OpenSearch();

    TestFolder folder;
    std::unique_ptr<TForm1> form;
    TSearchForm *search = nullptr;
};

void FormSearchTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    WriteDictionaries(folder);
    form = std::make_unique<TForm1>(folder.Path());
    QCOMPARE(form->GetDatabase()->GetCount(), 8);
    form->show();
    connect(form.get(), &TForm1::searchRequested, this, [this] { OpenSearch(); });
}

// As the program opens it: made on the first request, a result chosen shown in the main window.
void FormSearchTest::OpenSearch()
{
    if (!search)
        search = new TSearchForm(
            form->GetDatabase(),
            [this](WordPosition position, const QString &phrase) {
                form->ShowRecord(position, phrase);
            },
            form.get());
    search->show();
    search->raise();
    search->activateWindow();
}

void FormSearchTest::init()
{
    form->GetDatabase()->Reorder({0xA1, 0xB2, 0xC0, 0xC1, 0xC2, 0xC3});
    OpenSearch();
    QVERIFY(QTest::qWaitForWindowExposed(search));
    search->FormClose();
}

void FormSearchTest::SearchFor(const QString &phrase)
{
    QSignalSpy finished(search, &TSearchForm::searchFinished);
    Phrase()->setText(phrase);
    QTest::keyClick(Phrase(), Qt::Key_Return);
    QVERIFY(finished.wait(20000));
    QVERIFY(!search->Searching());
}

void FormSearchTest::menuCommandOpensTheWindow()
{
    search->close();
    const QList<QAction *> file = form->findChild<QMenu *>("N4")->actions();
    const auto command = std::find_if(
        file.begin(), file.end(), [](QAction *action) { return action->objectName() == "N7"; });
    QVERIFY(command != file.end());
    QCOMPARE((*command)->text(), QStringLiteral("&Поиск в статьях..."));
    QCOMPARE((*command)->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(command + 1 != file.end() ? (*(command + 1))->objectName() : QString(), "N5");
    // Ctrl+F from the word field, where the main window's typing takes its keys.
    form->activateWindow();
    QWidget *field = form->findChild<QWidget *>("WordInput");
    field->setFocus();
    QTRY_VERIFY(QApplication::activeWindow() == form.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(search->isVisible());
    QCOMPARE(search->windowTitle(), QStringLiteral("Поиск в статьях"));
}

void FormSearchTest::controlsHaveRussianNamesAndTabOrder()
{
    const std::pair<const char *, QString> names[] = {
        {"PhraseEdit", "Фраза для поиска в статьях"},
        {"FindButton", "Найти"},
        {"CountLabel", "Число найденных статей"},
        {"ProgressBar1", "Ход поиска"},
        {"ResultList", "Найденные статьи"},
    };
    for (const auto &[name, accessible] : names)
        QCOMPARE(search->findChild<QWidget *>(name)->accessibleName(), accessible);
    const QAbstractItemModel *model = List()->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Словарь"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Слово"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Отрывок"));

    search->activateWindow();
    Phrase()->setFocus();
    QTRY_VERIFY(Phrase()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("FindButton"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ResultList"));
}

void FormSearchTest::findsWhatAScanByHandFinds_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("firstRow"); // dictionary, headword, excerpt
    QTest::newRow("few, in either case")
        << QString("дОм") << QString("A|КИТ|Зверь. Большой ДОМ кита.");
    QTest::newRow("every large article") << QString("ДАТА 1999") << QString("Big0|w101999|...");
    QTest::newRow("one article, two headwords")
        << QString("покой") << QString("S|МИР, ПОКОЙ|Тишина и покой.");
    QTest::newRow("nothing") << QString("кит дом") << QString();
    QTest::newRow("a letter the code page lacks") << QString("д\u4E2Dм") << QString();
}

void FormSearchTest::findsWhatAScanByHandFinds()
{
    QFETCH(QString, phrase);
    QFETCH(QString, firstRow);
    SearchFor(phrase);
    const std::size_t expected = CountByHand(*form->GetDatabase(), phrase);
    QCOMPARE(search->ResultCount(), expected);
    QCOMPARE(search->findChild<QLabel *>("CountLabel")->text(),
        QStringLiteral("Найдено: %1").arg(expected));
    QVERIFY(search->findChild<QProgressBar *>("ProgressBar1")->isHidden());
    if (firstRow.isEmpty())
        return;
    const QStringList columns = firstRow.split('|');
    QAbstractItemModel *model = List()->model();
    QCOMPARE(model->index(0, 0).data().toString(), columns[0]);
    QCOMPARE(model->index(0, 1).data().toString(), columns[1]);
    const QString excerpt = model->index(0, 2).data().toString();
    QVERIFY2(excerpt.startsWith(columns[2]) && excerpt.contains(phrase, Qt::CaseInsensitive),
        qPrintable(excerpt));
}

void FormSearchTest::choosingAResultShowsItMarked_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<bool>("fromTray"); // else from under the search window
    QTest::newRow("enter, window covered") << true << false;
    QTest::newRow("double-click, window in the tray") << false << true;
}

void FormSearchTest::choosingAResultShowsItMarked()
{
    QFETCH(bool, byKey);
    QFETCH(bool, fromTray);
    if (fromTray)
        form->hide();
    SearchFor(QStringLiteral("дом"));
    QCOMPARE(search->ResultCount(), std::size_t{3});
    // The third result is ДОМ of B, whose article holds the phrase three times.
    const QModelIndex row = List()->model()->index(2, 0);
    List()->setCurrentIndex(row);
    if (byKey) {
        QTest::keyClick(List(), Qt::Key_Return);
    } else {
        const QRect cell = List()->visualRect(row);
        // A double-click's first press is a click of its own.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    QTRY_VERIFY(QApplication::activeWindow() == form.get());
    QCOMPARE(form->CurrentWord().dicId, 0xB2u);
    QCOMPARE(form->CurrentWord().index, 0);
    QCOMPARE(ToQString(form->WordText()), QStringLiteral("ДОМ"));

    // "ДОМ Дом в B. Дом и дом.": the headword and every occurrence marked, nothing else.
    const QTextEdit *pane = form->findChild<QTextEdit *>("RichEdit1");
    QCOMPARE(pane->toPlainText(), QStringLiteral("ДОМ Дом в B. Дом и дом."));
    QCOMPARE(Marks(pane), QStringLiteral("xxx.xxx......xxx...xxx."));
}

void FormSearchTest::marksByTheRuleOfTheChosenDictionary()
{
    SearchFor(QStringLiteral("ёж"));
    QCOMPARE(search->ResultCount(), std::size_t{1});
    List()->setCurrentIndex(List()->model()->index(0, 0));
    QTest::keyClick(List(), Qt::Key_Return);
    QCOMPARE(form->CurrentWord().dicId, 0xD4u);
    const QTextEdit *pane = form->findChild<QTextEdit *>("RichEdit1");
    QCOMPARE(pane->toPlainText(), QStringLiteral("ЁЖ 𝔸 ёж и Ёж."));
    QCOMPARE(Marks(pane), QStringLiteral("xx....xx...xx."));
}

void FormSearchTest::stoppedSearchLeavesNothingBehind()
{
    // Stopped with the first dictionaries' rows posted but not yet shown, and stopped once the
    // first rows are shown if it is still running then. Every large article holds the phrase.
    for (const bool waitForRows : {false, true}) {
        Phrase()->setText(QStringLiteral("о"));
        QTest::keyClick(Phrase(), Qt::Key_Return);
        if (waitForRows)
            QTRY_VERIFY(search->ResultCount() > 0 || !search->Searching());
        else
            QThread::msleep(20);
        const bool running = search->Searching();
        if (!waitForRows)
            QVERIFY(running);
        if (!running)
            continue;
        QTest::keyClick(Phrase(), Qt::Key_Escape);
        QVERIFY(!search->Searching());
        QVERIFY(search->isVisible());
        const std::size_t shown = search->ResultCount();
        QCOMPARE(search->findChild<QLabel *>("CountLabel")->text(),
            QStringLiteral("Остановлено. Найдено: %1").arg(shown));
        QTest::qWait(300);
        QCOMPARE(search->ResultCount(), shown);
        // Once rows are shown the scan may already have passed its last record.
        if (!waitForRows)
            QVERIFY(shown < CountByHand(*form->GetDatabase(), QStringLiteral("о")));
        QVERIFY(search->findChild<QProgressBar *>("ProgressBar1")->isHidden());
    }
    // The window still works, and Escape with nothing running closes it, from the list too.
    SearchFor(QStringLiteral("кит"));
    QCOMPARE(search->ResultCount(), std::size_t{1});
    QTest::keyClick(List(), Qt::Key_Escape);
    QTRY_VERIFY(!search->isVisible());
}

void FormSearchTest::closingFreesTheResults()
{
    SearchFor(QStringLiteral("дом"));
    QVERIFY(search->ResultCount() > 0);
    search->close();
    QCOMPARE(search->ResultCount(), std::size_t{0});
    QCOMPARE(List()->model()->rowCount(), 0);
}

QTEST_MAIN(FormSearchTest)
#include "Form_search_test.moc"
