#include "ui/Dialog_window.h"

#include <memory>

#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>

class DialogWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void errorBoxIsCentred_data();
    void errorBoxIsCentred();
    void dialogIsCentredOnItsParent_data();
    void dialogIsCentredOnItsParent();
};

namespace {

void AddParentRows()
{
    QTest::addColumn<QString>("parent");
    QTest::newRow("no parent") << QString("none");
    // The main window while the dictionaries load: made, not yet shown.
    QTest::newRow("parent not shown yet") << QString("hidden");
    QTest::newRow("parent shown off-centre") << QString("shown");
}

} // namespace

void DialogWindowTest::errorBoxIsCentred_data()
{
    AddParentRows();
}

void DialogWindowTest::dialogIsCentredOnItsParent_data()
{
    AddParentRows();
}

void DialogWindowTest::dialogIsCentredOnItsParent()
{
    QFETCH(QString, parent);
    QWidget owner;
    owner.setGeometry(40, 30, 300, 200);
    if (parent == "shown") {
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
    }
    TDialogWindow dialog(parent == "none" ? nullptr : &owner, TDialogWindow::Keys::EscapeOnly);
    dialog.setFixedSize(120, 80);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect area = parent == "shown" ? owner.frameGeometry()
                                         : QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY((dialog.frameGeometry().center() - area.center()).manhattanLength() <= 2);
}

void DialogWindowTest::errorBoxIsCentred()
{
    QFETCH(QString, parent);

    std::unique_ptr<QWidget> owner;
    if (parent != "none") {
        owner = std::make_unique<QWidget>();
        owner->setGeometry(40, 30, 300, 200);
        if (parent == "shown") {
            owner->show();
            QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        }
    }
    const QRect area = parent == "shown" ? owner->frameGeometry()
                                         : QGuiApplication::primaryScreen()->availableGeometry();

    QRect placed;
    QString text;
    QTimer::singleShot(0, this, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        text = box->text();
        placed = box->frameGeometry();
        box->accept();
    });
    ShowErrorBox(
        owner.get(), QStringLiteral("Kalvora"), QStringLiteral("Не найдено ни одного словаря"));

    QCOMPARE(text, QStringLiteral("Не найдено ни одного словаря"));
    QVERIFY2((placed.center() - area.center()).manhattanLength() <= 2,
        qPrintable(QStringLiteral("box at %1,%2 %3x%4, centre of %5,%6 %7x%8 wanted")
                       .arg(placed.x())
                       .arg(placed.y())
                       .arg(placed.width())
                       .arg(placed.height())
                       .arg(area.x())
                       .arg(area.y())
                       .arg(area.width())
                       .arg(area.height())));
}

QTEST_MAIN(DialogWindowTest)
#include "Dialog_window_test.moc"
