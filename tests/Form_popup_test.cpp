#include "ui/Form_popup.h"

#include <memory>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Database.h"
#include "support/Screen_placement.h"

class FormPopupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showsTheArticleInsideTheScreen_data();
    void showsTheArticleInsideTheScreen();
    void closes_data();
    void closes();

private:
    TestFolder folder;
    std::unique_ptr<Database> database;
    std::unique_ptr<TPopupForm> popup;
    std::unique_ptr<QWidget> other;
    QStringList opened;
};

void FormPopupTest::initTestCase()
{
    WriteDictionary(folder,
        {"a", "A1", "EXP", "A",
            {{Ansi("ДОМ"), Ansi("Здание для жилья.")}, {Ansi("КОТ"), Ansi("Животное.")}}});
    FixtureDictionary dictd{"b", "B2", "EXP", "B",
        {{"лес", "Бор, см. {дуб}.\xE2\x80\xA8\xE2\x80\xA8   2. \\les\\ чаща"}}, "UTF-8"};
    dictd.markup = "dictd";
    WriteDictionary(folder, dictd);
    database = std::make_unique<Database>(folder.Path(), nullptr);
    database->Load();
    QCOMPARE(database->GetCount(), 2);
    other = std::make_unique<QWidget>();
    other->resize(200, 100);
}

void FormPopupTest::init()
{
    opened.clear();
    popup = std::make_unique<TPopupForm>(
        database.get(), [this](const QString &word) { opened.append(word); });
}

void FormPopupTest::cleanup()
{
    popup.reset();
    other->hide();
}

void FormPopupTest::showsTheArticleInsideTheScreen_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<QString>("article");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("middle, found")
        << QString("дом") << screen.center() << QString("ДОМ") << QString("Здание для жилья.");
    QTest::newRow("bottom right, blanks around")
        << QString("  кот ") << screen.bottomRight() << QString("КОТ") << QString("Животное.");
    QTest::newRow("lines and markup of a dictd article") << QString(
        "лес") << screen.center() << QString("лес") << QString("Бор, см. дуб.\n2. les чаща");
    QTest::newRow("top left, nothing found")
        << QString("ЯЯЯ") << screen.topLeft() << QString("ЯЯЯ") << QString("Не найдено");
}

void FormPopupTest::showsTheArticleInsideTheScreen()
{
    QFETCH(QString, word);
    QFETCH(QPoint, pointer);
    QFETCH(QString, headword);
    QFETCH(QString, article);
    QSignalSpy painted(popup.get(), &TPopupForm::painted);
    popup->ShowWord(word, pointer);
    QVERIFY(popup->isVisible());
    QVERIFY(painted.wait(2000) || painted.count() > 0);
    QCOMPARE(popup->findChild<QLabel *>("PopupHeadword")->text(), headword);
    QCOMPARE(popup->findChild<QTextEdit *>("PopupArticle")->toPlainText(), article);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(area.contains(popup->geometry()));
    const ScreenRect expected = PlacePopup(pointer.x(), pointer.y(), TPopupForm::POPUP_WIDTH,
        TPopupForm::POPUP_HEIGHT, {{area.x(), area.y(), area.width(), area.height()}});
    QCOMPARE(popup->geometry(), QRect(expected.x, expected.y, expected.width, expected.height));
}

void FormPopupTest::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("Escape") << QString("escape") << QStringList();
    QTest::newRow("another window takes the focus") << QString("focus") << QStringList();
    QTest::newRow("open in the window") << QString("open") << QStringList{"дом"};
}

void FormPopupTest::closes()
{
    QFETCH(QString, how);
    QFETCH(QStringList, opened);
    popup->ShowWord(QStringLiteral("дом"), QPoint(100, 100));
    QVERIFY(QTest::qWaitForWindowActive(popup.get()));
    if (how == "escape") {
        QTest::keyClick(popup.get(), Qt::Key_Escape);
    } else if (how == "focus") {
        other->show();
        other->activateWindow();
    } else {
        QTest::keyClick(popup->findChild<QPushButton *>("OpenButton"), Qt::Key_Space);
    }
    QTRY_VERIFY(!popup->isVisible());
    QCOMPARE(this->opened, opened);
}

QTEST_MAIN(FormPopupTest)
#include "Form_popup_test.moc"
