#include "ui/Form_about.h"

#include <memory>

#include <QLabel>
#include <QtTest>

class FormAboutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clickOpensTheAddress_data();
    void clickOpensTheAddress();
    void onlyEscapeCloses_data();
    void onlyEscapeCloses();

private:
    QStringList opened;
    std::unique_ptr<TAboutForm> box;
};

void FormAboutTest::initTestCase()
{
    TAboutForm::openWithShell = [this](const QString &target) { opened << target; };
}

void FormAboutTest::init()
{
    opened.clear();
    box = std::make_unique<TAboutForm>();
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
}

void FormAboutTest::cleanup()
{
    box.reset();
}

void FormAboutTest::clickOpensTheAddress_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QPoint>("releasedAt");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("web address") << QString("WebLabel") << QPoint(5, 5)
                                 << QStringList{"https://kalvora.example.org"};
    QTest::newRow("e-mail address")
        << QString("MailLabel") << QPoint(5, 5) << QStringList{"mailto:info@kalvora.example.org"};
    QTest::newRow("released off the label")
        << QString("MailLabel") << QPoint(5, 40) << QStringList{};
    QTest::newRow("rights line") << QString("Label3") << QPoint(5, 5) << QStringList{};
}

void FormAboutTest::clickOpensTheAddress()
{
    QFETCH(QString, label);
    QFETCH(QPoint, releasedAt);
    QFETCH(QStringList, expected);

    QLabel *target = box->findChild<QLabel *>(label);
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, releasedAt);
    QCOMPARE(opened, expected);
    QVERIFY(box->isVisible());
}

void FormAboutTest::onlyEscapeCloses_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("Return") << int(Qt::Key_Return) << false;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << false;
}

void FormAboutTest::onlyEscapeCloses()
{
    QFETCH(int, key);
    QFETCH(bool, closes);

    QTest::keyClick(box.get(), static_cast<Qt::Key>(key));
    QCOMPARE(box->isVisible(), !closes);
}

QTEST_MAIN(FormAboutTest)
#include "Form_about_test.moc"
