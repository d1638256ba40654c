#include "ui/Form_dics.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <tuple>

#include <QHeaderView>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Ini_file.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

namespace {

constexpr std::uint32_t ID_A = 0xA1;
constexpr std::uint32_t ID_B = 0xB2;
// High bit set: an id that a signed or narrowed copy would lose.
constexpr std::uint32_t ID_C = 0xF01D0C05;

// B and C both hold ДОМ, so the order between them decides which article a search finds.
void WriteDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"a", "A1", "EXP", "A",
            {{Ansi("КИТ"), Ansi("Зверь.")}, {Ansi("КОТ"), Ansi("Животное.")},
                {Ansi("ЛЕС"), Ansi("Деревья.")}}});
    WriteDictionary(folder, {"b", "B2", "ENC", "B", {{Ansi("ДОМ"), Ansi("Дом в B.")}}});
    WriteDictionary(folder,
        {"c", "F01D0C05", "TERM", "C",
            {{Ansi("ДОМ"), Ansi("Дом в C.")}, {Ansi("САД"), Ansi("Сад.")}}});
    // Two that do not load: an id that is taken, and a folder without its index.
    WriteDictionary(folder, {"d", "A1", "EXP", "D", {{Ansi("ЮГ"), Ansi("Юг.")}}});
    WriteDictionary(folder, {"e", "E5", "EXP", "E", {{Ansi("ЯК"), Ansi("Як.")}}});
    std::remove((folder.Path() + "dics/e/e.idx").c_str());
}

// A folder of installed dictionaries that cannot be read, even by root: not a folder at all.
std::string WriteUnreadable(const TestFolder &folder)
{
    const std::string path = folder.Path() + "fifo";
    mkfifo(path.c_str(), 0600);
    return path;
}

// An installed dictd dictionary of one article.
void WriteInstalled(const TestFolder &folder)
{
    folder.WriteFile("src/cat.index", "cat\tA\tJ\n");
    folder.WriteFile("src/cat.dict", "cat a pet");
}

} // namespace

class FormDicsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rowsShowTheDictionaries();
    void buttonsMoveTheSelectedRow_data();
    void buttonsMoveTheSelectedRow();
    void everyCloseCommitsTheOrder_data();
    void everyCloseCommitsTheOrder();
    void emptyListMovesNothingAndStoresNothing();
    void addedDictionaryIsReadAtOnceAndKeptAcrossRestarts();

private:
    QTreeWidget *List() const { return dialog->findChild<QTreeWidget *>("ListView1"); }
    // The rows as the first letters of their names, top to bottom.
    QString Order() const;
    int SelectedRow() const;
    void Press(const QString &buttons);
    QString StoredOrder() const;

    TestFolder folder;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TDicsForm> dialog;
};

QString FormDicsTest::Order() const
{
    QString order;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
        if (List()->topLevelItem(i)->text(1) != QStringLiteral("не загружен"))
            order += List()->topLevelItem(i)->text(0).front();
    return order;
}

int FormDicsTest::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = List()->selectedItems();
    return selected.isEmpty() ? -1 : List()->indexOfTopLevelItem(selected.first());
}

// "1" presses the up button, "2" the down button; "u" and "d" are Alt+Up and Alt+Down.
void FormDicsTest::Press(const QString &buttons)
{
    for (const QChar button : buttons) {
        if (button == 'u' || button == 'd')
            QTest::keyClick(List(), button == 'u' ? Qt::Key_Up : Qt::Key_Down, Qt::AltModifier);
        else
            QTest::mouseClick(
                dialog->findChild<QToolButton *>(button == '1' ? "SpeedButton1" : "SpeedButton2"),
                Qt::LeftButton);
    }
}

QString FormDicsTest::StoredOrder() const
{
    std::string value = "absent";
    form->GetSettings()->GetString("DIC_ORDER", value);
    return ToQString(value);
}

void FormDicsTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    WriteDictionaries(folder);
    form = std::make_unique<TForm1>(folder.Path());
    QCOMPARE(form->GetDatabase()->LoadSources({WriteUnreadable(folder)}), 0);
    QCOMPARE(form->GetDatabase()->GetCount(), 3);
}

void FormDicsTest::init()
{
    form->GetDatabase()->Reorder({ID_A, ID_B, ID_C});
    form->GetSettings()->SetString("DIC_ORDER", "stale");
    dialog = std::make_unique<TDicsForm>(form->GetDatabase(), form->GetSettings(), form.get());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
}

void FormDicsTest::cleanup()
{
    dialog.reset();
}

void FormDicsTest::rowsShowTheDictionaries()
{
    // The reason of a failed one as its beginning.
    const QStringList captions[] = {
        {"A long", "3", "a source"},
        {"B long", "1", "b source"},
        {"C long", "2", "c source"},
        {"e", "не загружен", "нет файла "},
        {"d", "не загружен", "номер A1 уже занят словарём «A long»"},
        {QString::fromStdString(folder.Path() + "fifo"), "не загружен", "папка не читается"},
    };
    QCOMPARE(List()->topLevelItemCount(), 6);
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 3; ++column)
            QVERIFY2(List()->topLevelItem(row)->text(column).startsWith(captions[row][column]),
                qPrintable(List()->topLevelItem(row)->text(column)));
        QCOMPARE(List()->topLevelItem(row)->foreground(0).color()
                == List()->palette().color(QPalette::Disabled, QPalette::Text),
            row >= 3);
    }
    QVERIFY(List()->accessibleDescription().contains(QStringLiteral("Alt+Вверх")));
    QCOMPARE(List()->headerItem()->text(1), QStringLiteral("Количество статей"));
    QCOMPARE(SelectedRow(), 0);
}

void FormDicsTest::buttonsMoveTheSelectedRow_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QString>("order");
    QTest::addColumn<int>("selectedAfter");

    QTest::newRow("middle up") << 1 << QString("1") << QString("BAC") << 0;
    QTest::newRow("middle up twice") << 1 << QString("11") << QString("BAC") << 0;
    QTest::newRow("first up") << 0 << QString("1") << QString("ABC") << 0;
    QTest::newRow("none up selects the first") << -1 << QString("1") << QString("ABC") << 0;
    QTest::newRow("last down") << 2 << QString("2") << QString("ABC") << 2;
    QTest::newRow("first down twice") << 0 << QString("22") << QString("BCA") << 2;
    QTest::newRow("none down") << -1 << QString("2") << QString("ABC") << -1;
    QTest::newRow("last up then down") << 2 << QString("12") << QString("ABC") << 2;
    QTest::newRow("middle Alt+Up") << 1 << QString("u") << QString("BAC") << 0;
    QTest::newRow("first Alt+Down twice") << 0 << QString("dd") << QString("BCA") << 2;
    QTest::newRow("one that did not load stays") << 3 << QString("1u") << QString("ABC") << 3;
    QTest::newRow("the last loaded stays above it") << 2 << QString("2d") << QString("ABC") << 2;
}

void FormDicsTest::buttonsMoveTheSelectedRow()
{
    QFETCH(int, selected);
    QFETCH(QString, buttons);
    QFETCH(QString, order);
    QFETCH(int, selectedAfter);

    List()->clearSelection();
    if (selected >= 0)
        List()->setCurrentItem(List()->topLevelItem(selected));
    Press(buttons);
    QCOMPARE(Order(), order);
    QCOMPARE(SelectedRow(), selectedAfter);
}

void FormDicsTest::everyCloseCommitsTheOrder_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("article");

    QTest::newRow("escape on the list")
        << QString("list") << QString("1") << QString("a;c;b;") << QString("Дом в C.");
    QTest::newRow("escape on the form")
        << QString("form") << QString("11") << QString("c;a;b;") << QString("Дом в C.");
    QTest::newRow("close box") << QString("close") << QString("1") << QString("a;c;b;")
                               << QString("Дом в C.");
    QTest::newRow("close box, nothing moved")
        << QString("close") << QString() << QString("a;b;c;") << QString("Дом в B.");
}

void FormDicsTest::everyCloseCommitsTheOrder()
{
    QFETCH(QString, route);
    QFETCH(QString, buttons);
    QFETCH(QString, stored);
    QFETCH(QString, article);

    List()->setCurrentItem(List()->topLevelItem(2));
    Press(buttons);
    const QString order = Order();
    if (route == "list")
        QTest::keyClick(List(), Qt::Key_Escape);
    else if (route == "form")
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    else
        dialog->close();

    QVERIFY(!dialog->isVisible());
    QCOMPARE(StoredOrder(), stored);
    QString loaded;
    for (std::int32_t i = 0; i < form->GetDatabase()->GetCount(); ++i)
        loaded += ToQString(form->GetDatabase()->GetDictionary(i)->GetFolderName()) + ";";
    QCOMPARE(loaded, stored);

    WordPosition found;
    QVERIFY(form->GetDatabase()->Find(0, "ДОМ", found));
    QCOMPARE(ToQString(form->GetDatabase()->GetArticle(found)), article);

    // Shown again, the dialog keeps the order it was closed with.
    dialog->show();
    QCOMPARE(Order(), order);
}

void FormDicsTest::emptyListMovesNothingAndStoresNothing()
{
    TestFolder empty;
    empty.MakeFolder("dics");
    TForm1 emptyForm(empty.Path());
    emptyForm.GetSettings()->SetString("DIC_ORDER", "stale");
    TDicsForm emptyDialog(emptyForm.GetDatabase(), emptyForm.GetSettings());
    emptyDialog.show();

    for (const char *name : {"SpeedButton1", "SpeedButton2"})
        QTest::mouseClick(emptyDialog.findChild<QToolButton *>(name), Qt::LeftButton);
    QTreeWidget *list = emptyDialog.findChild<QTreeWidget *>("ListView1");
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(list->selectedItems().isEmpty());

    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!emptyDialog.isVisible());
    std::string stored = "absent";
    emptyForm.GetSettings()->GetString("DIC_ORDER", stored);
    QCOMPARE(stored, std::string());
}

void FormDicsTest::addedDictionaryIsReadAtOnceAndKeptAcrossRestarts()
{
    TestFolder own;
    WriteDictionary(own, {"a", "A1", "EXP", "A", {{"A", "a"}}});
    WriteInstalled(own);
    QString chosen;
    QString told;
    TDicsForm::chooseSource = [&chosen](QWidget *) { return chosen; };
    TDicsForm::tellUser = [&told](QWidget *, const QString &text) { told = text; };
    // Added, added again by another name (read once, and the user is told), taken away, and
    // nothing chosen: what each start finds, and the settings line.
    const std::tuple<const char *, const char *, const char *, int, bool, std::string> steps[] = {
        {"added", "src", "AddButton", 2, false, "ADDED_DICS=" + own.Path() + "src;\r\n"},
        {"again", "src/../src", "AddButton", 2, true, "ADDED_DICS=" + own.Path() + "src;\r\n"},
        {"removed", "src", "RemoveButton", 1, false, "ADDED_DICS=\r\n"},
    };
    for (const auto &[name, source, button, count, repeated, line] : steps) {
        chosen = QString::fromStdString(own.Path() + source);
        told.clear();
        {
            TForm1 window(own.Path());
            TDicsForm dics(window.GetDatabase(), window.GetSettings(), &window,
                [&window] { window.DictionariesChanged(); });
            QTreeWidget *list = dics.findChild<QTreeWidget *>("ListView1");
            list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));
            QTest::mouseClick(dics.findChild<QPushButton *>(button), Qt::LeftButton);
            QCOMPARE(window.GetDatabase()->GetCount(), count);
            QCOMPARE(list->topLevelItemCount(), count);
            int buttons = 0;
            for (int section = 0; section < window.GetSectionBar()->SectionCount(); ++section)
                buttons +=
                    static_cast<int>(window.GetSectionBar()->GetSection(section).items.size());
            QCOMPARE(buttons, count);
            WordPosition found;
            QCOMPARE(
                window.GetDatabase()->Find(0, "cat", found) && found.dicId != ID_A, count == 2);
            QCOMPARE(told.contains("уже есть в списке"), repeated);
            dics.close();
            window.close();
        }
        const std::string ini = own.ReadFile("Kalvora.ini");
        QVERIFY2(ini.find(line) != std::string::npos, name);
        TForm1 restarted(own.Path());
        QCOMPARE(restarted.GetDatabase()->GetCount(), count);
    }
    TDicsForm::chooseSource = nullptr;
    TDicsForm::tellUser = nullptr;
}

QTEST_MAIN(FormDicsTest)
#include "Form_dics_test.moc"
