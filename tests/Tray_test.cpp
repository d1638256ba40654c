#include <memory>

#include <QSystemTrayIcon>
#include <QWidget>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "ui/Ansi_text.h"
#include "ui/Form_main.h"

// Runs on a real X display; KALVORA_TRAY_HOST tells whether the script started a notification
// area beside it.
class TrayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void minimising();

private:
    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void TrayTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &text) { QFAIL(qPrintable(text)); };
    folder = std::make_unique<TestFolder>();
    WriteDictionary(*folder, {"a", "11", "EXP", "A", {{"A", "a"}}});
    form = std::make_unique<TForm1>(folder->Path());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TrayTest::cleanupTestCase()
{
    form.reset();
}

void TrayTest::minimising()
{
    const bool host = qEnvironmentVariableIntValue("KALVORA_TRAY_HOST") == 1;
    if (host)
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    else
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());

    form->setGeometry(120, 90, 640, 480);
    QTest::qWait(100);
    const QRect before = form->geometry();

    form->showMinimized();
    if (!host) {
        // Nowhere to come back from: an ordinary minimised window stays.
        QTRY_VERIFY(form->isMinimized());
        QTest::qWait(200);
        QVERIFY(form->isVisible());
        return;
    }
    QTRY_VERIFY(!form->isVisible());

    form->TrayIcon1Click();
    QTRY_VERIFY(form->isVisible());
    QVERIFY(!form->isMinimized());
    QTRY_COMPARE(form->geometry(), before);

    // A second click while shown and covered brings the window up, in its place.
    QWidget cover;
    cover.setGeometry(before);
    cover.show();
    cover.activateWindow();
    QTRY_VERIFY(cover.isActiveWindow());
    form->TrayIcon1Click();
    QTRY_VERIFY(form->isActiveWindow());
    QCOMPARE(form->geometry(), before);

    // A later start of the program brings the window back from the notification area too.
    form->showMinimized();
    QTRY_VERIFY(!form->isVisible());
    form->BringToFront();
    QTRY_VERIFY(form->isVisible());
    QVERIFY(!form->isMinimized());
    QTRY_COMPARE(form->geometry(), before);
}

QTEST_MAIN(TrayTest)
#include "Tray_test.moc"
