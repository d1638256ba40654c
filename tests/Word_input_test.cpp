// Typing into the search field with dictionaries of both encodings loaded.

#include <memory>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

namespace {

void WriteDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"a_ansi", "A1", "EXP", "A",
            {{"CAFE", "Windows-1251 cafe."}, {ToAnsi(QStringLiteral("ДОМ")), "house"}}});
    WriteDictionary(folder,
        {"b_utf8", "B2", "EXP", "B",
            {{"CAF\xC3\x89", "caf\xC3\xA9 \xE2\x98\x95"},
                {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9 \xE2\x98\x80"},
                {"\xF0\x90\x90\x80"
                 "AB",
                    "deseret"}},
            "UTF-8"});
}

// Each character as the keyboard delivers it: one event, a surrogate pair included.
void Type(QWidget *widget, const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\b') {
            QTest::keyClick(widget, Qt::Key_Backspace);
            continue;
        }
        const QString one = QString::fromUcs4(&c, 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace

class WordInputTest : public QObject
{
    Q_OBJECT

private slots:
    void typingReachesEveryDictionary_data();
    void typingReachesEveryDictionary();
    void enterShowsUnicodeText();
};

void WordInputTest::typingReachesEveryDictionary_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<QString>("listed");

    const QString cafe = QStringLiteral("CAF\u00C9");
    const QString ete = QStringLiteral("\u00C9T\u00C9");
    const QString deseret = QString::fromUcs4(U"\U00010400AB");
    QTest::newRow("a letter only UTF-8 holds")
        << QStringLiteral("\u00E9") << ete << QStringLiteral("T\u00C9") << 1 << ete;
    QTest::newRow("the accent moves to the UTF-8 dictionary")
        << QStringLiteral("caf\u00E9") << cafe << QString() << 4 << cafe;
    QTest::newRow("beyond U+FFFF, small to capital")
        << QString::fromUcs4(U"\U00010428") << deseret << QStringLiteral("AB") << 2 << deseret;
    // Half a pair left behind would be a query no dictionary continues, and the text would stay.
    QTest::newRow("backspace takes the whole pair")
        << QString::fromUcs4(U"\U00010428\b") << QString() << QString() << 0 << deseret;
}

void WordInputTest::typingReachesEveryDictionary()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(int, selectionStart);
    QFETCH(QString, listed);

    TestFolder folder;
    WriteDictionaries(folder);
    TForm1 form(folder.Path());
    auto *input = form.findChild<QComboBox *>("WordInput");
    auto *list = form.findChild<QListWidget *>("ListBox1");
    input->lineEdit()->setFocus();
    Type(input, typed);
    QCOMPARE(input->lineEdit()->text(), text);
    QCOMPARE(input->lineEdit()->selectedText(), selected);
    const QLineEdit *edit = input->lineEdit();
    QCOMPARE(
        edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition(), selectionStart);
    QCOMPARE(list->currentItem() ? list->currentItem()->text() : QString(), listed);
}

void WordInputTest::enterShowsUnicodeText()
{
    TestFolder folder;
    WriteDictionaries(folder);
    TForm1 form(folder.Path());
    auto *input = form.findChild<QComboBox *>("WordInput");
    Type(input, QStringLiteral("\u00E9t\u00E9"));
    QTest::keyClick(input, Qt::Key_Return);
    QCOMPARE(form.findChild<QTextEdit *>("RichEdit1")->toPlainText(),
        QStringLiteral("\u00C9T\u00C9 \u00E9t\u00E9 \u2600"));
    QCOMPARE(input->itemText(0), QStringLiteral("\u00C9T\u00C9"));
}

QTEST_MAIN(WordInputTest)
#include "Word_input_test.moc"
