#include "ui/Form_splash.h"

#include <QProgressBar>
#include <QtTest>

class FormSplashTest : public QObject
{
    Q_OBJECT

private slots:
    void progressShowsTheCounts_data();
    void progressShowsTheCounts();
};

void FormSplashTest::progressShowsTheCounts_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("maximum");
    // Nothing to load is an empty bar: a range of 0..0 would be the toolkit's busy animation.
    QTest::newRow("nothing to load") << 0 << 0 << 1;
    QTest::newRow("none loaded yet") << 5 << 0 << 5;
    QTest::newRow("part loaded") << 5 << 2 << 5;
    QTest::newRow("all loaded") << 3 << 3 << 3;
}

void FormSplashTest::progressShowsTheCounts()
{
    QFETCH(int, total);
    QFETCH(int, done);
    QFETCH(int, maximum);

    TSplashForm splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    splash.SetProgress(total, done);
    const auto *bar = splash.findChild<QProgressBar *>("ProgressBar1");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), done);
}

QTEST_MAIN(FormSplashTest)
#include "Form_splash_test.moc"
