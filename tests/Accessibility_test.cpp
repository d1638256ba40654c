#include <memory>

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

Q_DECLARE_METATYPE(QAccessible::Role)

namespace {

// The letter after the single "&" of a menu text, upper-cased; empty without one.
QString Mnemonic(const QString &text)
{
    const int at = QString(text).replace(QStringLiteral("&&"), QStringLiteral("__")).indexOf('&');
    return at < 0 || at + 1 >= text.size() ? QString() : text.mid(at + 1, 1).toUpper();
}

} // namespace

// What a keyboard user and a screen reader get from the main window.
class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void controlsHaveNamesAndRoles_data();
    void controlsHaveNamesAndRoles();
    void searchButtonCanBePressedThroughItsInterface();
    void tabVisitsSearchButtonListAndArticleInOrder();
    void everyMenuHasItsOwnAccelerators();
    void altAndTheUnderlinedLetterOpensAMenu_data();
    void altAndTheUnderlinedLetterOpensAMenu();

private:
    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void AccessibilityTest::initTestCase()
{
    QAccessible::setActive(true);
    TForm1::showErrorMessage = [](QWidget *, const QString &text) { qWarning() << text; };
    folder = std::make_unique<TestFolder>();
    WriteDictionary(*folder,
        {"d", "11", "EXP", "D",
            {{ToAnsi(QStringLiteral("ДОМ")), ToAnsi(QStringLiteral("Здание."))},
                {ToAnsi(QStringLiteral("КОТ")), ToAnsi(QStringLiteral("Зверь."))}}});
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void AccessibilityTest::cleanupTestCase()
{
    form.reset();
    folder.reset();
}

void AccessibilityTest::controlsHaveNamesAndRoles_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::newRow("search field") << QString("WordInput") << QStringLiteral("Слово для поиска")
                                  << QAccessible::ComboBox;
    QTest::newRow("search button")
        << QString("FindButton") << QStringLiteral("Найти") << QAccessible::Button;
    QTest::newRow("word list") << QString("ListBox1") << QStringLiteral("Список слов")
                               << QAccessible::List;
    QTest::newRow("article") << QString("RichEdit1") << QStringLiteral("Статья")
                             << QAccessible::EditableText;
}

void AccessibilityTest::controlsHaveNamesAndRoles()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);
    QWidget *widget = form->findChild<QWidget *>(control);
    QVERIFY(widget);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->role(), role);
    QVERIFY(!accessible->state().invisible);
    QVERIFY(accessible->state().focusable);
}

void AccessibilityTest::searchButtonCanBePressedThroughItsInterface()
{
    QComboBox *input = form->findChild<QComboBox *>("WordInput");
    input->setEditText(QStringLiteral("кот"));
    QAccessibleInterface *button =
        QAccessible::queryAccessibleInterface(form->findChild<QWidget *>("FindButton"));
    QVERIFY(button && button->actionInterface());
    QVERIFY(button->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(form->findChild<QTextEdit *>("RichEdit1")
                    ->toPlainText()
                    .contains(QStringLiteral("Зверь.")));
}

void AccessibilityTest::tabVisitsSearchButtonListAndArticleInOrder()
{
    QComboBox *input = form->findChild<QComboBox *>("WordInput");
    form->activateWindow();
    input->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(input->hasFocus() || input->lineEdit()->hasFocus());
    for (const char *next : {"FindButton", "ListBox1", "RichEdit1"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        QVERIFY2(focus, next);
        QCOMPARE(focus->objectName(), QString(next));
    }
    for (const char *previous : {"ListBox1", "FindButton"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString(previous));
    }
}

void AccessibilityTest::everyMenuHasItsOwnAccelerators()
{
    QList<QMenu *> menus{nullptr};
    for (QAction *action : form->menuBar()->actions())
        if (action->menu())
            menus << action->menu();
    QVERIFY(menus.size() >= 3);
    for (QMenu *menu : menus) {
        const QList<QAction *> actions = menu ? menu->actions() : form->menuBar()->actions();
        QStringList seen;
        for (QAction *action : actions) {
            if (action->isSeparator())
                continue;
            const QString letter = Mnemonic(action->text());
            QVERIFY2(!letter.isEmpty(), qPrintable(action->text() + " has no underlined letter"));
            QVERIFY2(!seen.contains(letter), qPrintable(action->text() + " repeats " + letter));
            seen << letter;
        }
    }
}

void AccessibilityTest::altAndTheUnderlinedLetterOpensAMenu_data()
{
    QTest::addColumn<QString>("menu");
    for (QAction *action : form->menuBar()->actions())
        if (action->menu())
            QTest::newRow(qPrintable(action->menu()->objectName())) << action->menu()->objectName();
}

void AccessibilityTest::altAndTheUnderlinedLetterOpensAMenu()
{
    QFETCH(QString, menu);
    QMenu *popup = form->findChild<QMenu *>(menu);
    QVERIFY(popup);
    form->activateWindow();
    form->findChild<QComboBox *>("WordInput")->setFocus(Qt::OtherFocusReason);
    const QKeySequence shortcut = QKeySequence::mnemonic(popup->title());
    QVERIFY(!shortcut.isEmpty());
    const QKeyCombination key = shortcut[0];
    // Cyrillic letters have no ASCII form, which the plain keyClick needs.
    const QString letter = Mnemonic(popup->title()).toLower();
    QWidget *focus = QApplication::focusWidget();
    QTest::sendKeyEvent(QTest::Press, focus, key.key(), letter, key.keyboardModifiers());
    QTest::sendKeyEvent(QTest::Release, focus, key.key(), letter, key.keyboardModifiers());
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(popup, Qt::Key_Escape);
    QTRY_VERIFY(!popup->isVisible());
}

QTEST_MAIN(AccessibilityTest)
#include "Accessibility_test.moc"
