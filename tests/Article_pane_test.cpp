#include "ui/Article_pane.h"

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextBlock>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Ini_file.h"
#include "ui/Article_render.h"
#include "ui/Form_main.h"
#include "ui/Form_settings.h"

namespace {

const char LS8[] = "\xE2\x80\xA8";

// "дом" in all five dictionaries, "лес" in the first and the fourth, "кот" in the first only.
void WriteDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"a", "A1", "EXP", "A",
            {{Ansi("ДОМ"), Ansi("Здание.")}, {Ansi("КОТ"), Ansi("Зверь.")},
                {Ansi("ЛЕС"), Ansi("Деревья.")}}});
    FixtureDictionary dictd{"b", "B2", "EXP", "B",
        {{"дом", std::string("Жилище, см. {кот}.") + LS8 + LS8 + "   2. \\dom\\ семья"}}, "UTF-8"};
    dictd.markup = "dictd";
    WriteDictionary(folder, dictd);
    FixtureDictionary html{"c", "C3", "EXP", "C",
        {{"Дом",
            "<b>house</b><img src=\"file:///etc/passwd\"><img src=\"http://example.org/x.png\">"
            "<link rel=stylesheet href=\"file:///tmp/x.css\"> <a "
            "href=\"bword://кот\">кот</a><br>хата"}},
        "UTF-8"};
    html.markup = "html";
    WriteDictionary(folder, html);
    FixtureDictionary plain{"d", "D4", "EXP", "D",
        {{"ДОМ", std::string("строка один") + LS8 + "строка два"}, {"ЛЕС", "много деревьев"}},
        "UTF-8"};
    plain.markup = "plain";
    WriteDictionary(folder, plain);
    FixtureDictionary xdxf{"e", "E5", "EXP", "E", {{"дом", "<k>дом</k> <tr>dom</tr>"}}, "UTF-8"};
    xdxf.markup = "xdxf";
    WriteDictionary(folder, xdxf);
}

} // namespace

class ArticlePaneTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void everyDictionaryThatHasTheWord_data();
    void everyDictionaryThatHasTheWord();
    void linesAndMarkupAreShown();
    void htmlLoadsNothing();
    void linkLooksItsWordUp();
    void doubleClickInTheSecondArticle();
    void marksLandInEveryArticle();
    void altDownAndTheTopLineMoveBetweenArticles();
    void settingTurnsTheOtherArticlesOff();

private:
    QLineEdit *Edit() const { return form->findChild<QComboBox *>("WordInput")->lineEdit(); }
    TArticlePane *Pane() const { return form->findChild<TArticlePane *>("RichEdit1"); }
    void Show(const QString &word)
    {
        Edit()->setText(word);
        form->FindButtonClick();
    }
    // Every article drawn, however far the budget went.
    void DrawAll() { Pane()->GoToArticle(Pane()->ArticleCount() - 1); }
    QPoint PointAt(const QString &text, int from = 0)
    {
        QTextCursor cursor(Pane()->document());
        cursor.setPosition(static_cast<int>(Pane()->toPlainText().indexOf(text, from)) + 1);
        Pane()->setTextCursor(cursor);
        Pane()->ensureCursorVisible();
        return Pane()->cursorRect(cursor).center();
    }

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TForm1> form;
};

void ArticlePaneTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &text) { QFAIL(qPrintable(text)); };
    folder = std::make_unique<TestFolder>();
    WriteDictionaries(*folder);
    folder->WriteFile("Kalvora.ini", "DIC_ORDER=a;b;c;d;e;\r\n");
    form = std::make_unique<TForm1>(folder->Path());
    form->resize(700, 500);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void ArticlePaneTest::init()
{
    form->SaveArticleSettings(true);
    Edit()->clear();
}

void ArticlePaneTest::everyDictionaryThatHasTheWord_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("all");
    QTest::addColumn<quint32>("button");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("headers");
    QTest::newRow("one dictionary")
        << QString("кот") << true << 0u << QString("КОТ Зверь.") << QStringList();
    QTest::newRow("two") << QString("лес") << true << 0u << QString("ЛЕС Деревья.")
                         << QStringList{"D long"};
    QTest::newRow("five in search order") << QString("дом") << true << 0u << QString("ДОМ Здание.")
                                          << QStringList{"B long", "C long", "D long", "E long"};
    QTest::newRow("option off") << QString("дом") << false << 0u << QString("ДОМ Здание.")
                                << QStringList();
    QTest::newRow("dictionary button") << QString("дом") << true << 0xD4u
                                       << QString("ДОМ строка один\nстрока два") << QStringList();
}

void ArticlePaneTest::everyDictionaryThatHasTheWord()
{
    QFETCH(QString, word);
    QFETCH(bool, all);
    QFETCH(quint32, button);
    QFETCH(QString, first);
    QFETCH(QStringList, headers);
    form->SaveArticleSettings(all);
    Edit()->setText(word);
    if (button)
        form->OnDictionaryClick(button);
    else
        form->FindButtonClick();
    QCOMPARE(Pane()->ArticleCount(), 1 + headers.size());
    DrawAll();
    QCOMPARE(Pane()->DrawnArticles(), 1 + headers.size());
    const QString text = Pane()->toPlainText();
    // The first article is exactly the one a single-dictionary pane shows.
    QCOMPARE(text.left(headers.isEmpty() ? text.size() : Pane()->ArticleStart(1) - 1), first);
    for (int i = 0; i < headers.size(); ++i)
        QCOMPARE(Pane()->document()->findBlock(Pane()->ArticleStart(i + 1)).text(), headers[i]);
    QCOMPARE(Pane()->AlsoLine()->isVisible(), !headers.isEmpty());
}

void ArticlePaneTest::linesAndMarkupAreShown()
{
    Show("дом");
    DrawAll();
    const QString text = Pane()->toPlainText();
    const QStringList shown = {
        QString("дом Жилище, см. кот.\n2. dom семья"),
        QString("Дом house кот\nхата"),
        QString("ДОМ строка один\nстрока два"),
        QString("дом дом dom"),
    };
    for (const QString &article : shown)
        QVERIFY2(text.contains(article), qPrintable(text));
    QVERIFY(!text.contains('{') && !text.contains('\\') && !text.contains('<'));
    // A line break stays inside its paragraph; a blank line starts one.
    const QString raw = Pane()->document()->toRawText();
    QVERIFY(raw.contains(QString("кот") + QChar(QChar::LineSeparator) + "хата"));
    QVERIFY(raw.contains(QString("кот.") + QChar(QChar::ParagraphSeparator) + "2. dom"));
    QCOMPARE(Pane()->AlsoLine()->text(),
        QString("Также: <a href=\"1\">B</a>, <a href=\"2\">C</a>, <a href=\"3\">D</a>, "
                "<a href=\"4\">E</a>"));
}

void ArticlePaneTest::htmlLoadsNothing()
{
    Show("дом");
    DrawAll();
    Pane()->document()->adjustSize();
    Pane()->viewport()->repaint();
    const auto *document = qobject_cast<TArticleDocument *>(Pane()->document());
    QVERIFY(document);
    QCOMPARE(document->ResourceRequests(), 0);
    QVERIFY(!Pane()->toPlainText().contains("passwd"));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            QVERIFY(!fragment.fragment().charFormat().isImageFormat());
    // Asked directly, the document still gives nothing.
    QVERIFY(!Pane()
                 ->document()
                 ->resource(QTextDocument::ImageResource, QUrl("file:///etc/passwd"))
                 .isValid());
}

void ArticlePaneTest::linkLooksItsWordUp()
{
    const std::tuple<const char *, QString> rows[] = {
        {"dictd link in the second article", QString("см. кот")},
        {"html link in the third article", QString("house кот")},
    };
    for (const auto &[name, around] : rows) {
        Show("дом");
        DrawAll();
        const int at = static_cast<int>(Pane()->toPlainText().indexOf(around));
        QVERIFY2(at >= 0, name);
        const QPoint point = PointAt(QString("кот"), at);
        QTest::mouseClick(Pane()->viewport(), Qt::LeftButton, {}, point);
        QVERIFY2(Pane()->toPlainText().startsWith("КОТ Зверь."), name);
        QCOMPARE(Edit()->text(), QString("кот"));
    }
}

void ArticlePaneTest::doubleClickInTheSecondArticle()
{
    Show("дом");
    DrawAll();
    const QPoint point = PointAt("семья", Pane()->ArticleStart(1));
    QTest::mouseDClick(Pane()->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(Edit()->text(), QString("семья"));
}

void ArticlePaneTest::marksLandInEveryArticle()
{
    // Marked as a search result shows the word, its other articles drawn after; and marked once
    // every article is drawn.
    for (const bool drawnFirst : {false, true}) {
        WordPosition first;
        first.dicId = 0xA1;
        first.index = 0;
        form->ShowRecord(first, drawnFirst ? QString() : QString("ДОМ"));
        DrawAll();
        if (drawnFirst)
            Pane()->MarkPhrase(std::string("ДОМ"));
        const QString text = Pane()->toPlainText();
        QList<int> marked;
        for (int at = text.indexOf("дом", 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf("дом", at + 1, Qt::CaseInsensitive)) {
            QTextCursor cursor(Pane()->document());
            cursor.setPosition(at + 1);
            if (cursor.charFormat().background().color() == QColor(255, 255, 0))
                marked << at;
        }
        // Every headword, the XDXF article's own "дом" and nothing in the headers.
        QCOMPARE(marked.size(), 6);
        QVERIFY(marked.contains(Pane()->ArticleStart(1) + QString("B long\n").size()));
    }
}

void ArticlePaneTest::altDownAndTheTopLineMoveBetweenArticles()
{
    form->resize(700, 200);
    Show("дом");
    Pane()->setFocus();
    const std::tuple<int, int> keys[] = {
        {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Up, 1}, {Qt::Key_Up, 0}, {Qt::Key_Up, 0}};
    for (const auto &[key, article] : keys) {
        QTest::keyClick(Pane(), static_cast<Qt::Key>(key), Qt::AltModifier);
        QCOMPARE(Pane()->ArticleAtTop(), article);
    }
    emit Pane()->AlsoLine()->linkActivated("4");
    QCOMPARE(Pane()->ArticleAtTop(), 4);
    form->resize(700, 500);
}

void ArticlePaneTest::settingTurnsTheOtherArticlesOff()
{
    TFormSettings settings(form.get(), form.get());
    auto *box = settings.findChild<QCheckBox *>("AllArticles");
    QVERIFY(box);
    QCOMPARE(box->text(), QString("Показывать статьи всех словарей"));
    settings.SetAllArticles(true);
    QVERIFY(box->isChecked());
    box->setChecked(false);
    settings.GradButton1Click();
    std::int32_t stored = -1;
    QVERIFY(form->GetSettings()->GetInt("SHOW_ALL_DICTIONARIES", stored));
    QCOMPARE(stored, 0);
    Show("дом");
    QCOMPARE(Pane()->ArticleCount(), 1);
    QCOMPARE(Pane()->toPlainText(), QString("ДОМ Здание."));
    // The next run starts with it off.
    form->GetSettings()->Save();
    TForm1 next(folder->Path());
    QVERIFY(!next.ShowsAllArticles());
}

QTEST_MAIN(ArticlePaneTest)
#include "Article_pane_test.moc"
