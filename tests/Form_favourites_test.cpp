#include "ui/Form_favourites.h"

#include <memory>

#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "Test_folder.h"
#include "support/Favourites.h"

class FormFavouritesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void actsOnTheSelectedWord_data();
    void actsOnTheSelectedWord();
    void exportsTheList();
    void listsADamagedFileAsFarAsItIsSound();

private:
    QListWidget *List() const { return form->findChild<QListWidget *>("FavouritesList"); }

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<Favourites> favourites;
    std::unique_ptr<TFavouritesForm> form;
    QStringList opened;
    QStringList messages;
};

void FormFavouritesTest::init()
{
    folder = std::make_unique<TestFolder>();
    folder->WriteFile("favourites.txt", "дом\nкот\nлес\n");
    favourites = std::make_unique<Favourites>(folder->Path() + "favourites.txt");
    opened.clear();
    messages.clear();
    TFavouritesForm::showErrorMessage = [this](QWidget *, const QString &text) {
        messages.append(text);
    };
    form = std::make_unique<TFavouritesForm>(
        favourites.get(), [this](const QString &word) { opened.append(word); });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void FormFavouritesTest::cleanup()
{
    form.reset();
    favourites.reset();
    folder.reset();
}

void FormFavouritesTest::actsOnTheSelectedWord_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QString>("file");
    QTest::newRow("Enter opens") << 1 << QString("enter") << QStringList{"кот"}
                                 << QString("дом\nкот\nлес\n");
    QTest::newRow("double-click opens")
        << 2 << QString("double") << QStringList{"лес"} << QString("дом\nкот\nлес\n");
    QTest::newRow("Delete removes")
        << 0 << QString("delete") << QStringList() << QString("кот\nлес\n");
    QTest::newRow("button removes")
        << 2 << QString("remove") << QStringList() << QString("дом\nкот\n");
}

void FormFavouritesTest::actsOnTheSelectedWord()
{
    QFETCH(int, row);
    QFETCH(QString, action);
    QFETCH(QStringList, opened);
    QFETCH(QString, file);
    QCOMPARE(List()->count(), 3);
    List()->setCurrentRow(row);
    List()->setFocus();
    if (action == "enter") {
        QTest::keyClick(List(), Qt::Key_Return);
    } else if (action == "double") {
        const QRect item = List()->visualItemRect(List()->item(row));
        // The view takes a double-click only after a press of its own, as a real one has.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, item.center());
    } else if (action == "delete") {
        QTest::keyClick(List(), Qt::Key_Delete);
    } else {
        form->findChild<QPushButton *>("RemoveButton")->click();
    }
    QCOMPARE(this->opened, opened);
    QCOMPARE(QString::fromStdString(folder->ReadFile("favourites.txt")), file);
    QCOMPARE(List()->count(), file.count('\n'));
}

void FormFavouritesTest::exportsTheList()
{
    const QString target = QString::fromStdString(folder->Path() + "exported.txt");
    TFavouritesForm::askExportFile = [&](QWidget *) { return target; };
    form->findChild<QPushButton *>("ExportButton")->click();
    QCOMPARE(QString::fromStdString(folder->ReadFile("exported.txt")), QString("дом\nкот\nлес\n"));
    QVERIFY(messages.isEmpty());

    TFavouritesForm::askExportFile = [&](QWidget *) { return target + "/missing/x.txt"; };
    form->findChild<QPushButton *>("ExportButton")->click();
    QCOMPARE(messages.size(), 1);
    TFavouritesForm::askExportFile = [](QWidget *) { return QString(); };
    form->findChild<QPushButton *>("ExportButton")->click();
    QCOMPARE(messages.size(), 1);
}

void FormFavouritesTest::listsADamagedFileAsFarAsItIsSound()
{
    folder->WriteFile("favourites.txt", "дом\n\xFF\xFE\nкот\n");
    form->FillList();
    QCOMPARE(List()->count(), 1);
    QCOMPARE(List()->item(0)->text(), QString("дом"));
    QCOMPARE(folder->List(), std::vector<std::string>{"favourites.txt"});
}

QTEST_MAIN(FormFavouritesTest)
#include "Form_favourites_test.moc"
