#include "ui/Form_about.h"

#include <memory>

#include <QDesktopServices>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QtTest>

class FormAboutTest : public QObject
{
    Q_OBJECT

public slots:
    // What the desktop would be asked to open.
    void Receive(const QUrl &url) { received << url.toString(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void clickOpensTheAddress_data();
    void clickOpensTheAddress();
    void onlyEscapeCloses_data();
    void onlyEscapeCloses();
    void labelsShowTheirWholeText_data();
    void labelsShowTheirWholeText();
    void addressesAreOnesTheDesktopOpens();
    void titleStaysDarkOnADarkDesktop();

private:
    QStringList opened;
    QStringList received;
    TAboutForm::Opener shell;
    std::unique_ptr<TAboutForm> box;
};

void FormAboutTest::initTestCase()
{
    shell = TAboutForm::openWithShell;
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
                                 << QStringList{"www.kalvora.test"};
    QTest::newRow("e-mail address")
        << QString("MailLabel") << QPoint(5, 5) << QStringList{"mailto:info@kalvora.test"};
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

void FormAboutTest::labelsShowTheirWholeText_data()
{
    QTest::addColumn<QString>("label");
    QTest::newRow("product and version") << QString("Label1");
    QTest::newRow("rights line") << QString("Label3");
    QTest::newRow("web address") << QString("WebLabel");
    QTest::newRow("e-mail address") << QString("MailLabel");
}

// The labels keep their sizes whatever face this desktop substitutes for the one asked for, so
// the texts must fit in the face it draws them in.
void FormAboutTest::labelsShowTheirWholeText()
{
    QFETCH(QString, label);

    const QLabel *shown = box->findChild<QLabel *>(label);
    const QRect room = shown->contentsRect();
    const int flags = int(shown->alignment()) | (shown->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(shown->font()).boundingRect(room, flags, shown->text());
    QVERIFY2(room.contains(needed),
        qPrintable(QStringLiteral("\"%1\" in %2 needs %3 x %4 at %5,%6, has %7 x %8")
                       .arg(shown->text(), QFontInfo(shown->font()).family())
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(needed.x())
                       .arg(needed.y())
                       .arg(room.width())
                       .arg(room.height())));
}

void FormAboutTest::addressesAreOnesTheDesktopOpens()
{
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Receive");
    TAboutForm::openWithShell = shell;
    box->WebLabelClick();
    box->MailLabelClick();
    TAboutForm::openWithShell = [this](const QString &target) { opened << target; };
    for (const char *scheme : {"http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));

    QCOMPARE(received, (QStringList{"http://www.kalvora.test", "mailto:info@kalvora.test"}));
}

// The title's background is a fixed light blue, so its text must not follow a dark desktop's
// light grey.
void FormAboutTest::titleStaysDarkOnADarkDesktop()
{
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(dark);
    const TAboutForm darkBox;
    QApplication::setPalette(saved);

    const QLabel *title = darkBox.findChild<QLabel *>("Label1");
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(title->palette().color(QPalette::Window), QColor(0xA5, 0xCB, 0xF7));
}

QTEST_MAIN(FormAboutTest)
#include "Form_about_test.moc"
