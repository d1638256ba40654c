#include "ui/Go_menu.h"

#include <memory>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "controls/Grad_button.h"
#include "support/Ini_file.h"
#include "support/Word_history.h"
#include "ui/Form_favourites.h"
#include "ui/Form_main.h"

namespace {

void WriteDictionaries(const TestFolder &folder)
{
    std::vector<FixtureEntry> many;
    for (int i = 0; i < 250; ++i) {
        const std::string number = QStringLiteral("%1").arg(i, 3, 10, QChar('0')).toStdString();
        many.emplace_back(Ansi("СЛОВО") + number, Ansi("статья ") + number);
    }
    WriteDictionary(folder,
        {"a", "11", "EXP", Ansi("Толк"),
            {{Ansi("ДОМ"), Ansi("Здание, где живёт КОТ.")}, {Ansi("ДОМИК"), Ansi("Маленький дом.")},
                {Ansi("КОТ"), Ansi("Домашнее животное.")}}});
    WriteDictionary(folder, {"b", "22", "ENC", Ansi("Энц"), {{Ansi("ДОМ"), Ansi("Строение.")}}});
    WriteDictionary(folder, {"c", "33", "TERM", Ansi("Много"), many});
}

} // namespace

class GoMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backAndForwardThroughEveryKindOfLookup();
    void endsAreDisabledAndMouseButtonsGo();
    void historyIsKeptAtOnceAndComesBack();
    void favouritesToggleAndOpen();
    void placeIsKeptAndBroughtIntoView_data();
    void placeIsKeptAndBroughtIntoView();

private:
    void Start();
    QLineEdit *Edit() const { return form->findChild<QComboBox *>("WordInput")->lineEdit(); }
    QListWidget *List() const { return form->findChild<QListWidget *>("ListBox1"); }
    QTextEdit *Article() const { return form->findChild<QTextEdit *>("RichEdit1"); }
    QAction *Action(const char *name) const { return form->findChild<QAction *>(name); }
    // What the window shows: field, list's first row and selected row, article's first line.
    QString Shown() const;
    void Enter(const QString &word);

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void GoMenuTest::init()
{
    folder = std::make_unique<TestFolder>();
    WriteDictionaries(*folder);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder->Path() + "data"));
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    Start();
}

void GoMenuTest::Start()
{
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void GoMenuTest::cleanup()
{
    form.reset();
    folder.reset();
}

QString GoMenuTest::Shown() const
{
    QCoreApplication::processEvents();
    const QString first = List()->count() ? List()->item(0)->text() : QString();
    const QString row = List()->currentItem() ? List()->currentItem()->text() : QString();
    return QStringList{Edit()->text(), first, row, Article()->toPlainText()}.join('|');
}

void GoMenuTest::Enter(const QString &word)
{
    Edit()->setText(word);
    QTest::keyClick(Edit(), Qt::Key_Return);
}

void GoMenuTest::backAndForwardThroughEveryKindOfLookup()
{
    // Each kind of lookup, and what the window then shows.
    const std::vector<std::pair<QString, std::function<void()>>> lookups = {
        {"Enter", [this] { Enter("кот"); }},
        {"list click",
            [this] {
                List()->setCurrentRow(0);
                form->ListBox1Click();
            }},
        {"dictionary button",
            [this] {
                Edit()->setText("ДОМ");
                form->OnDictionaryClick(0x22);
            }},
        {"search result",
            [this] {
                form->ShowRecord({0x33, 200}, "статья");
            }},
        {"a far list row",
            [this] {
                List()->setCurrentRow(List()->count() - 1);
                form->ListBox1Click();
            }},
        {"double-click",
            [this] {
                QTextCursor cursor = Article()->textCursor();
                cursor.setPosition(Article()->toPlainText().indexOf(' ') + 1);
                cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
                Article()->setTextCursor(cursor);
                form->RichEdit1DblClick();
            }},
        {"handed-over word", [this] { form->LookUp("домик"); }},
    };
    QStringList shown;
    for (const auto &[name, lookup] : lookups) {
        lookup();
        shown << Shown();
    }
    QCOMPARE(QStringList(shown).removeDuplicates(), 0);
    for (int i = static_cast<int>(shown.size()) - 2; i >= 0; --i) {
        QVERIFY2(Action("BackAction")->isEnabled(), qPrintable(lookups[i + 1].first));
        QTest::keyClick(form.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(Shown(), shown[i]);
    }
    QVERIFY(!Action("BackAction")->isEnabled());
    for (int i = 1; i < shown.size(); ++i) {
        QVERIFY(Action("ForwardAction")->isEnabled());
        QTest::keyClick(form.get(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(Shown(), shown[i]);
    }
    QVERIFY(!Action("ForwardAction")->isEnabled());
    // The marked phrase comes back with the search result.
    for (int i = 0; i < 3; ++i)
        form->findChild<TGoMenu *>()->GoBack();
    QCOMPARE(Shown(), shown[3]);
    QVERIFY(!Article()->extraSelections().isEmpty()
        || Article()->toHtml().contains("background-color"));
}

void GoMenuTest::endsAreDisabledAndMouseButtonsGo()
{
    QVERIFY(!Action("BackAction")->isEnabled());
    QVERIFY(!Action("ForwardAction")->isEnabled());
    QCOMPARE(Action("BackAction")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
    QCOMPARE(Action("ForwardAction")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
    Enter("дом");
    Enter("кот");
    QTest::mouseClick(List()->viewport(), Qt::BackButton);
    QCOMPARE(Edit()->text(), QString("ДОМ"));
    QVERIFY(!Action("BackAction")->isEnabled());
    QVERIFY(Action("ForwardAction")->isEnabled());
    QTest::mouseClick(Article()->viewport(), Qt::ForwardButton);
    QCOMPARE(Edit()->text(), QString("КОТ"));
    QVERIFY(!Action("ForwardAction")->isEnabled());
}

void GoMenuTest::historyIsKeptAtOnceAndComesBack()
{
    Enter("кот");
    Enter("до");
    Enter("ДОМ");
    // On disk before the window closes: a killed program loses nothing.
    IniFile settings;
    settings.Load(folder->Path() + "Kalvora.ini");
    QCOMPARE(ReadWordHistory(settings), (std::vector<std::string>{"ДОМ", "до", "кот"}));
    form.reset();
    Start();
    auto *input = form->findChild<QComboBox *>("WordInput");
    QCOMPARE(input->count(), 3);
    QCOMPARE(input->itemText(0), QString("ДОМ"));
    QCOMPARE(input->itemText(1), QString("до"));
    QCOMPARE(Edit()->text(), QString());
}

void GoMenuTest::favouritesToggleAndOpen()
{
    const std::string file = folder->Path() + "data/kalvora/favourites.txt";
    QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!folder->Exists("data/kalvora/favourites.txt"));
    Enter("кот");
    QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
    Enter("дом");
    QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(folder->ReadFile("data/kalvora/favourites.txt"), std::string("КОТ\nДОМ\n"));
    QTest::keyClick(form.get(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(folder->ReadFile("data/kalvora/favourites.txt"), std::string("КОТ\n"));

    Action("FavouritesAction")->trigger();
    auto *window = form->findChild<TFavouritesForm *>();
    QVERIFY(window && window->isVisible());
    auto *list = window->findChild<QListWidget *>("FavouritesList");
    QCOMPARE(list->count(), 1);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(Edit()->text(), QString("КОТ"));
    QVERIFY(Article()->toPlainText().startsWith("КОТ"));
}

void GoMenuTest::placeIsKeptAndBroughtIntoView_data()
{
    QTest::addColumn<QRect>("kept");
    QTest::addColumn<int>("listWidth");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("inside the screen") << QRect(screen.x() + 20, screen.y() + 30, 520, 380) << 150;
    QTest::newRow("saved on a larger screen")
        << QRect(screen.right() + 400, screen.bottom() + 300, 600, 420) << 200;
    QTest::newRow("larger than the screen")
        << QRect(screen.x() - 50, screen.y(), screen.width() + 300, screen.height() + 200) << 180;
}

void GoMenuTest::placeIsKeptAndBroughtIntoView()
{
    QFETCH(QRect, kept);
    QFETCH(int, listWidth);
    form->setGeometry(kept);
    auto *splitter = form->findChild<QSplitter *>("Splitter1");
    QCoreApplication::processEvents();
    splitter->setSizes({listWidth, splitter->width() - listWidth - splitter->handleWidth()});
    form->close();
    form.reset();
    Start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect restored = form->geometry();
    QVERIFY2(screen.contains(restored.topLeft()) && restored.width() <= screen.width()
            && restored.height() <= screen.height(),
        qPrintable(QString("%1,%2 %3x%4")
                       .arg(restored.x())
                       .arg(restored.y())
                       .arg(restored.width())
                       .arg(restored.height())));
    if (screen.contains(kept))
        QCOMPARE(restored, kept);
    else
        QCOMPARE(restored.size(), kept.size().boundedTo(screen.size()));
    QCOMPARE(form->findChild<QSplitter *>("Splitter1")->sizes().value(0), listWidth);
}

QTEST_MAIN(GoMenuTest)
#include "Go_menu_test.moc"
