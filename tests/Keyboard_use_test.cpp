#include <memory>

#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Key_positions.h"
#include "ui/Form_main.h"

class KeyboardUseTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void russianLettersSitOnTheirKeys();
    void latinKeysReachTheMenus_data();
    void latinKeysReachTheMenus();
    void focusIsVisible_data();
    void focusIsVisible();

private:
    TestFolder folder;
    std::unique_ptr<TForm1> form;
};

void KeyboardUseTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    WriteDictionary(folder, {"a", "A1", "EXP", "A", {{"A", "a"}}});
    form = std::make_unique<TForm1>(folder.Path());
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void KeyboardUseTest::init()
{
    // Ctrl+Q closed it.
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void KeyboardUseTest::cleanup()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

void KeyboardUseTest::russianLettersSitOnTheirKeys()
{
    const std::pair<char32_t, char32_t> keys[] = {{'a', U'ф'}, {'q', U'й'}, {'`', U'ё'},
        {';', U'ж'}, {'.', U'ю'}, {'m', U'ь'}, {'1', 0}, {'A', 0}, {U'ф', 0}, {0, 0}};
    for (const auto &[latin, russian] : keys)
        QCOMPARE(RussianLetterOnKey(latin), russian);
}

void KeyboardUseTest::latinKeysReachTheMenus_data()
{
    QTest::addColumn<QString>("keys"); // "F10", or Alt and a letter, then letters in the menu
    QTest::addColumn<QString>("opened"); // the menu open at the end, or the signal sent
    QTest::newRow("Alt+A opens Файл") << QString("Alt+A") << QString("N4");
    QTest::newRow("Alt+Y opens Настройки") << QString("Alt+Y") << QString("N1");
    QTest::newRow("Alt+T opens Переход") << QString("Alt+T") << QString("Переход");
    QTest::newRow("F10 opens the first menu") << QString("F10") << QString("N4");
    QTest::newRow("Alt+J is О программе") << QString("Alt+J") << QString("about");
    QTest::newRow("Alt+A then G is Поиск") << QString("Alt+A G") << QString("search");
    QTest::newRow("Alt+Y then C is Словари") << QString("Alt+Y C") << QString("dictionaries");
    QTest::newRow("Alt+Q names no menu") << QString("Alt+Q") << QString();
    QTest::newRow("Ctrl+Й from a Russian layout quits") << QString("Ctrl+Й") << QString("quit");
}

void KeyboardUseTest::latinKeysReachTheMenus()
{
    QFETCH(QString, keys);
    QFETCH(QString, opened);
    QSignalSpy about(form.get(), &TForm1::aboutRequested);
    QSignalSpy search(form.get(), &TForm1::searchRequested);
    QSignalSpy dictionaries(form.get(), &TForm1::dictionariesRequested);
    const QAction *exit = form->findChild<QAction *>("N5");
    if (opened == "quit" && exit->shortcut().isEmpty())
        QSKIP("This platform gives Quit no key");
    QSignalSpy quit(exit, &QAction::triggered);
    QWidget *field = form->findChild<QWidget *>("WordInput");
    field->setFocus();
    for (const QString &key : keys.split(' ')) {
        QWidget *target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget() ? QApplication::focusWidget() : field;
        QVERIFY(target);
        if (key == "F10") {
            QTest::keyClick(target, Qt::Key_F10);
        } else if (key.startsWith("Ctrl+")) {
            // As it comes from a Russian layout: the letter's key code and text, Q's native key.
            QKeyEvent press(QEvent::KeyPress, key.back().unicode(), Qt::ControlModifier, 0,
                Qt::Key_Q, 0, key.back().toLower());
            QApplication::sendEvent(target, &press);
        } else if (key.startsWith("Alt+")) {
            QTest::keyClick(target, key.back().toLower().toLatin1(), Qt::AltModifier);
        } else {
            QTest::keyClick(target, key.front().toLower().toLatin1());
        }
    }
    QMenu *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (opened == "about" || opened == "search" || opened == "dictionaries" || opened == "quit") {
        const QSignalSpy &spy = opened == "about" ? about
            : opened == "search"                  ? search
            : opened == "quit"                    ? quit
                                                  : dictionaries;
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(!open);
    } else if (opened.isEmpty()) {
        QVERIFY(!open);
    } else {
        QVERIFY(open);
        QVERIFY(open->objectName() == opened || open->title().remove('&') == opened);
    }
}

void KeyboardUseTest::focusIsVisible_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("search button") << QString("FindButton");
    QTest::newRow("word list") << QString("ListBox1");
    QTest::newRow("article pane") << QString("RichEdit1");
}

void KeyboardUseTest::focusIsVisible()
{
    QFETCH(QString, name);
    QWidget *control = form->findChild<QWidget *>(name);
    QVERIFY(control);
    form->findChild<QWidget *>("WordInput")->setFocus();
    QTRY_VERIFY(!control->hasFocus());
    // The control and a few pixels around it, where a ring may go.
    const QRect around =
        QRect(control->mapTo(form.get(), QPoint(0, 0)), control->size()).adjusted(-4, -4, 4, 4);
    const QImage before = form->grab(around).toImage();
    control->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(control->hasFocus());
    QVERIFY(form->grab(around).toImage() != before);
}

QTEST_MAIN(KeyboardUseTest)
#include "Keyboard_use_test.moc"
