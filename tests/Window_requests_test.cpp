#include <memory>

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "platform/Running_window.h"
#include "platform/Selected_text.h"
#include "platform/Startup_notice.h"
#include "support/Ini_file.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

// What reaches the window from outside it: a word from the command line or a later start, the
// selected text, and the notification-area icon's menu.
class WindowRequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void lookUpIsTypingTheWordAndEnter_data();
    void lookUpIsTypingTheWordAndEnter();
    void bringToFrontFromEveryState();
    void trayMenu();
    void trayExitEndsTheProgramWhileHidden();
    void requestsWhileLoading_data();
    void requestsWhileLoading();
    void floodWhileLoading_data();
    void floodWhileLoading();
    void selectionTrimmedAtTheEnds_data();
    void selectionTrimmedAtTheEnds();
    void startupNoticeEnds_data();
    void startupNoticeEnds();

private:
    QComboBox *Input() const { return form->findChild<QComboBox *>("WordInput"); }
    QTextEdit *Article() const { return form->findChild<QTextEdit *>("RichEdit1"); }
    QAction *TrayAction(const char *name) const
    {
        const auto *icon = form->findChild<QSystemTrayIcon *>("TrayIcon1");
        return icon && icon->contextMenu() ? icon->contextMenu()->findChild<QAction *>(name)
                                           : nullptr;
    }

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void WindowRequestsTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &text) { QFAIL(qPrintable(text)); };
    folder = std::make_unique<TestFolder>();
    WriteDictionary(*folder,
        {"a_tolk", "11", "EXP", ToAnsi(QStringLiteral("Толк")),
            {{ToAnsi(QStringLiteral("ДОМ")), ToAnsi(QStringLiteral("Здание."))},
                {ToAnsi(QStringLiteral("ДОМИК")), ToAnsi(QStringLiteral("Маленький дом."))},
                {ToAnsi(QStringLiteral("NEW YORK")), ToAnsi(QStringLiteral("Город."))}}});
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowRequestsTest::init()
{
    form->showNormal();
    Input()->clear();
    Input()->lineEdit()->clear();
}

void WindowRequestsTest::cleanupTestCase()
{
    form.reset();
    folder.reset();
}

void WindowRequestsTest::lookUpIsTypingTheWordAndEnter_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("article");
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("field");
    // The history keeps the word as it was asked for.
    QTest::newRow("lower case") << QString("дом") << QString("ДОМ Здание.") << QString("дом")
                                << QString("ДОМ");
    QTest::newRow("prefix of a longer headword")
        << QString("доми") << QString("ДОМИК Маленький дом.") << QString("доми")
        << QString("ДОМИК");
    // No key press could type an uncompletable word; a lookup takes it whole all the same.
    QTest::newRow("nearest headword") << QString("new yorker") << QString("NEW YORK Город.")
                                      << QString("new yorker") << QString("NEW YORK");
    QTest::newRow("phrase") << QString("new york") << QString("NEW YORK Город.")
                            << QString("new york") << QString("NEW YORK");
    QTest::newRow("not found") << QString("ъ") << QString("Не найдено") << QString()
                               << QString("ъ");
}

void WindowRequestsTest::lookUpIsTypingTheWordAndEnter()
{
    QFETCH(QString, word);
    QFETCH(QString, article);
    QFETCH(QString, history);
    QFETCH(QString, field);
    form->LookUp(word);
    QCOMPARE(Article()->toPlainText(), article);
    QCOMPARE(Input()->lineEdit()->text(), field);
    QCOMPARE(Input()->count(), history.isEmpty() ? 0 : 1);
    if (!history.isEmpty())
        QCOMPARE(Input()->itemText(0), history);
}

void WindowRequestsTest::bringToFrontFromEveryState()
{
    form->hide();
    form->BringToFront();
    QTRY_VERIFY(form->isVisible());

    form->showMinimized();
    QTRY_VERIFY(form->isMinimized());
    form->BringToFront();
    QTRY_VERIFY(!form->isMinimized());
    QVERIFY(form->isVisible());

    form->BringToFront();
    QVERIFY(form->isVisible() && !form->isMinimized());
}

void WindowRequestsTest::trayMenu()
{
    const auto *icon = form->findChild<QSystemTrayIcon *>("TrayIcon1");
    QVERIFY(icon && icon->contextMenu());
    QStringList captions;
    for (const QAction *action : icon->contextMenu()->actions())
        captions << action->text();
    QCOMPARE(captions, (QStringList{QStringLiteral("Показать"), QStringLiteral("Выход")}));

    form->hide();
    TrayAction("TrayShow")->trigger();
    QTRY_VERIFY(form->isVisible());
}

void WindowRequestsTest::trayExitEndsTheProgramWhileHidden()
{
    TestFolder other;
    WriteDictionary(other, {"a", "11", "EXP", "A", {{"A", "a"}}});
    TForm1 window(other.Path());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.GetSettings()->SetString("DIC_ORDER", "a;");
    window.hide();

    auto *menu = window.findChild<QSystemTrayIcon *>("TrayIcon1")->contextMenu();
    QTimer::singleShot(0, menu->findChild<QAction *>("TrayExit"), &QAction::trigger);
    // The event loop ends only if the action ends it; the guard keeps a fault from hanging the run,
    // and goes with the window, so that it cannot fire in a later test.
    bool timedOut = false;
    QTimer::singleShot(10000, &window, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!timedOut);
    // The settings were saved, the window's place with them.
    QCOMPARE(QString::fromStdString(other.ReadFile("Kalvora.ini"))
                 .remove(QRegularExpression("(LIST_WIDTH|WINDOW_[A-Z]+)=-?\\d+\r\n")),
        QString("DIC_ORDER=a;\r\n"));
}

void WindowRequestsTest::requestsWhileLoading_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("handled");
    QTest::newRow("a word") << QStringList{"дом"} << QStringList{"дом"};
    QTest::newRow("the last word wins") << QStringList{"дом", "кот", "лес"} << QStringList{"лес"};
    QTest::newRow("a start without a word keeps the word before it")
        << QStringList{"дом", ""} << QStringList{"дом"};
    QTest::newRow("a start without a word") << QStringList{""} << QStringList{""};
    QTest::newRow("no start") << QStringList() << QStringList();
    QTest::newRow("a long word is cut")
        << QStringList{QString(100000, u'ж')} << QStringList{QString(MAX_REQUEST_LENGTH, u'ж')};
    QTest::newRow("the cut keeps a surrogate pair whole")
        << QStringList{QString(MAX_REQUEST_LENGTH - 1, u'a') + QString::fromUtf8("\U0001F600")}
        << QStringList{QString(MAX_REQUEST_LENGTH - 1, u'a')};
}

// Words handed over before the window has loaded reach it once it has.
void WindowRequestsTest::requestsWhileLoading()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, handled);
    RunningWindow window;
    for (const QString &word : requests)
        window.Present(word);
    QCoreApplication::processEvents();
    QStringList got;
    window.SetHandler([&got](const QString &word) { got << word; });
    QCOMPARE(got, handled);
    QCoreApplication::processEvents();
    QCOMPARE(got, handled);
    window.Present("кот");
    QTRY_COMPARE(got, handled + QStringList{"кот"});
}

void WindowRequestsTest::floodWhileLoading_data()
{
    QTest::addColumn<int>("starts");
    QTest::addColumn<int>("length");
    // Each about 64 MB: past what the bus library holds before it stops reading.
    QTest::newRow("7 words of 10 MB") << 7 << 10000000;
    QTest::newRow("70 words of 1 MB") << 70 << 1000000;
    QTest::newRow("a selection of 64 MB as one word") << 1 << 64000000;
}

// Later starts while the first window loads its dictionaries, which keeps its thread from the
// event loop: they have their answers during the load, the word of the last one is looked up, and
// the window still answers afterwards.
void WindowRequestsTest::floodWhileLoading()
{
    QFETCH(int, starts);
    QFETCH(int, length);
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus");
    // The sign of a connection that stops reading for good: its socket notifier is switched
    // from a thread other than its own.
    QTest::failOnWarning(QRegularExpression("Socket notifiers cannot be enabled or disabled"));
    RunningWindow window;
    QCOMPARE(window.Claim(QString()), RunningWindow::Start::First);
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "starts");
    const auto present = [](const QString &word) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.example.kalvora.Kalvora",
            "/org/example/kalvora/Kalvora", "org.example.kalvora.Kalvora", "Present");
        call << word;
        return call;
    };
    const QString earlier = starts > 1 ? "дом" + QString(length, u'a') : QString();
    const QString last = "кот" + QString(length, u'a');
    QList<QDBusPendingCall> calls;
    for (int start = 1; start <= starts; ++start)
        calls << bus.asyncCall(present(start < starts ? earlier : last), 10000);
    for (QDBusPendingCall &call : calls) {
        call.waitForFinished();
        QVERIFY2(!call.isError(), qPrintable(call.error().message()));
    }

    QStringList handled;
    window.SetHandler([&handled](const QString &word) { handled << word; });
    QCOMPARE(handled, QStringList{last.left(MAX_REQUEST_LENGTH)});
    const QDBusMessage answer = bus.call(present("лес"), QDBus::Block, 5000);
    QCOMPARE(answer.type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(handled.last(), QString("лес"));
    QDBusConnection::disconnectFromBus("starts");
}

void WindowRequestsTest::selectionTrimmedAtTheEnds_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("word");
    QTest::newRow("word") << QString("дом") << QString("дом");
    QTest::newRow("blanks and line break") << QString("  дом\n") << QString("дом");
    QTest::newRow("comma after") << QString("дом, ") << QString("дом");
    QTest::newRow("guillemets") << QString("«дом»") << QString("дом");
    QTest::newRow("quotes and full stop") << QString("\"дом\".") << QString("дом");
    QTest::newRow("dash before") << QString("— дом") << QString("дом");
    QTest::newRow("brackets and ellipsis") << QString("(дом…)") << QString("дом");
    QTest::newRow("no-break space and zero-width space")
        << QString::fromUtf8("\u00A0дом\u200B") << QString("дом");
    QTest::newRow("hyphen inside kept") << QString("кто-то!") << QString("кто-то");
    QTest::newRow("apostrophe inside kept") << QString("'don't'") << QString("don't");
    QTest::newRow("blanks inside become one space")
        << QString(" New\n\t York ") << QString("New York");
    QTest::newRow("stress mark kept") << QString("замо́к") << QString("замо́к");
    QTest::newRow("symbols kept") << QString("C++") << QString("C++");
    QTest::newRow("a passage keeps its first line")
        << (QString("  «Первая строка».\nВторая ") + QString(MAX_REQUEST_LENGTH, u'ж'))
        << QString("Первая строка");
    QTest::newRow("a long line keeps its first word")
        << (QString("слово, ") + QString(MAX_REQUEST_LENGTH, u'ж')) << QString("слово");
    QTest::newRow("a long word is cut")
        << QString(MAX_REQUEST_LENGTH + 1, u'ж') << QString(MAX_REQUEST_LENGTH, u'ж');
    QTest::newRow("punctuation only") << QString(" ... , ") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void WindowRequestsTest::selectionTrimmedAtTheEnds()
{
    QFETCH(QString, selected);
    QFETCH(QString, word);
    QCOMPARE(TrimSelection(selected), word);
}

void WindowRequestsTest::startupNoticeEnds_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("plain") << QByteArray("menu/kalvora-1_TIME42")
                           << QByteArray("remove: ID=\"menu/kalvora-1_TIME42\"\0", 35);
    QTest::newRow("quote and backslash escaped")
        << QByteArray("a\"b\\c") << QByteArray("remove: ID=\"a\\\"b\\\\c\"\0", 21);
    QTest::newRow("blanks kept inside the quotes")
        << QByteArray("a b") << QByteArray("remove: ID=\"a b\"\0", 17);
}

void WindowRequestsTest::startupNoticeEnds()
{
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, message);
    QCOMPARE(QByteArray::fromStdString(StartupRemoveMessage(id.toStdString())), message);
}

QTEST_MAIN(WindowRequestsTest)
#include "Window_requests_test.moc"
