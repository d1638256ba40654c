#include "ui/Form_settings.h"

#include <cmath>
#include <functional>
#include <memory>

#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QtTest>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "controls/Grad_button.h"
#include "support/Ini_file.h"
#include "ui/Ansi_text.h"
#include "ui/Font_chooser.h"
#include "ui/Form_main.h"

namespace {

constexpr std::int32_t STORED_LIST_COLOUR = 0x0000FF;
constexpr std::int32_t HIGHLIGHT_COLOUR = static_cast<std::int32_t>(0x8000000Du);

const FontDescription STORED_LIST{"Arial", -13, 0, STORED_LIST_COLOUR};
const FontDescription STORED_ARTICLE{"Verdana", -15, 0, 0x008000};

// The one style of the family that is bold or not and italic or not; empty when there is none or
// more than one (condensed and light cuts of the same family).
QString StyleOf(const QString &family, bool bold, bool italic)
{
    QStringList found;
    for (const QString &style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) == italic
            && (QFontDatabase::weight(family, style) >= QFont::Bold) == bold)
            found << style;
    }
    return found.size() == 1 ? found.front() : QString();
}

// A face other than the stored one with exactly one style for each of plain, bold, italic and
// bold italic, whatever the styles are called ("Regular" or "Book", "Italic" or "Oblique").
QString InstalledFamily()
{
    for (const QString &family : QFontDatabase::families()) {
        if (family == QStringLiteral("Tahoma"))
            continue;
        bool complete = true;
        for (int bits = 0; bits < 4 && complete; ++bits)
            complete = !StyleOf(family, bits & 1, bits & 2).isEmpty();
        if (complete)
            return family;
    }
    return QString();
}

// Sizes in points, as the font widget works. The font widget finds a style by its name only.
QFont PointFont(const QString &family, int points, bool bold = false, bool italic = false)
{
    QFont font(family, points);
    font.setBold(bold);
    font.setItalic(italic);
    font.setStyleName(StyleOf(family, bold, italic));
    return font;
}

int Pixels(const QWidget &widget, int points)
{
    return static_cast<int>(std::lround(points * widget.logicalDpiY() / 72.0));
}

void SelectColourNamed(TFontChooser &chooser, const QString &name)
{
    chooser.ColourList()->setCurrentIndex(chooser.ColourList()->findText(name));
}

const TForm1 *window = nullptr;

std::int32_t StoredInt(const char *key)
{
    std::int32_t value = 12345;
    window->GetSettings()->GetInt(key, value);
    return value;
}

QString StoredText(const char *key)
{
    std::string value = "absent";
    window->GetSettings()->GetString(key, value);
    return AnsiToQString(value);
}

} // namespace

class FormSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chooserTakesWhatTheUserChanged_data();
    void chooserTakesWhatTheUserChanged();
    void chooserOpensOnTheHeldStyle_data();
    void chooserOpensOnTheHeldStyle();
    void cancelledChooserChangesNothing();
    void keysInTheFontWidgetAnswerForTheChooser_data();
    void keysInTheFontWidgetAnswerForTheChooser();
    void previewShowsAtOnceAndCloseRestoresStoredFonts_data();
    void previewShowsAtOnceAndCloseRestoresStoredFonts();
    void okStoresBothFonts_data();
    void okStoresBothFonts();

private:
    // What the user does in the chooser and whether they confirm it.
    std::function<void(TFontChooser &)> pick;
    bool confirm = true;
    QString family;
    TestFolder folder;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TFormSettings> dialog;
};

void FormSettingsTest::initTestCase()
{
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    TFontChooser::run = [this](TFontChooser &chooser) {
        if (pick)
            pick(chooser);
        return confirm;
    };
    family = InstalledFamily();
    QVERIFY(!family.isEmpty());
    WriteDictionary(folder, {"a", "A1", "EXP", "A", {{"A", "article"}}});
    folder.WriteFile("Kalvora.ini",
        "LIST_FONT=Arial\r\nLIST_FONT_HEIGHT=-13\r\nLIST_FONT_COLOR=255\r\n"
        "PARTICLE_FONT=Verdana\r\nPARTICLE_FONT_HEIGHT=-15\r\n"
        "PARTICLE_FONT_COLOR=32768\r\n");
    form = std::make_unique<TForm1>(folder.Path());
    window = form.get();
}

void FormSettingsTest::init()
{
    // Back to the stored fonts of the settings file, whatever an earlier test confirmed.
    for (const auto &[prefix, font] :
        {std::pair("LIST_FONT", STORED_LIST), std::pair("PARTICLE_FONT", STORED_ARTICLE)}) {
        const std::string key = prefix;
        form->GetSettings()->SetString(key, font.name);
        form->GetSettings()->SetInt(key + "_HEIGHT", font.height);
        form->GetSettings()->SetInt(key + "_BOLD", 0);
        form->GetSettings()->SetInt(key + "_ITALIC", 0);
        form->GetSettings()->SetInt(key + "_COLOR", font.colour);
    }
    form->ApplyFonts(&STORED_LIST, &STORED_ARTICLE);
    pick = nullptr;
    confirm = true;
    TFontChooser::pickColour = [](QWidget *, const QColor &) { return QColor(1, 2, 3); };
    dialog = std::make_unique<TFormSettings>(form.get(), form.get());
    dialog->SetFonts(form->ListFont(), form->ArticleFont());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
}

void FormSettingsTest::cleanup()
{
    dialog.reset();
}

void FormSettingsTest::chooserTakesWhatTheUserChanged_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("familyChanged");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("colour");

    const int window = WINDOW_TEXT_COLOUR;
    // Tahoma is missing here, and 14 pixels fall between two point sizes: left alone, the face
    // and the height must survive as stored. A height of 0 stands for 12 points in pixels.
    QTest::newRow("untouched") << QString() << false << -14 << 0 << window;
    QTest::newRow("new size") << QString("size") << true << 0 << 0 << window;
    QTest::newRow("all four effects") << QString("effects") << true << -14 << 15 << window;
    QTest::newRow("classic colour") << QString("red") << false << -14 << 0 << 0x0000FF;
    QTest::newRow("system colour")
        << QString("highlight") << false << -14 << 0 << static_cast<int>(HIGHLIGHT_COLOUR);
    QTest::newRow("colour of one's own") << QString("other") << false << -14 << 0 << 0x030201;
    QTest::newRow("own colour cancelled")
        << QString("other cancelled") << false << -14 << 0 << window;
}

void FormSettingsTest::chooserTakesWhatTheUserChanged()
{
    QFETCH(QString, action);
    QFETCH(bool, familyChanged);
    QFETCH(int, height);
    QFETCH(int, style);
    QFETCH(int, colour);

    TFontChooser &chooser = *dialog->ListFontDialog();
    chooser.SetFont({"Tahoma", -14, 0, WINDOW_TEXT_COLOUR});
    pick = [&](TFontChooser &shown) {
        const bool effects = action == "effects";
        QFont font = shown.FontWidget()->currentFont();
        font.setFamily(family);
        if (action == "size")
            font.setPointSize(12);
        font.setBold(effects);
        font.setItalic(effects);
        font.setStyleName(StyleOf(family, effects, effects));
        font.setUnderline(effects);
        font.setStrikeOut(effects);
        if (action == "size" || effects)
            shown.FontWidget()->setCurrentFont(font);
        if (action == "red")
            SelectColourNamed(shown, QStringLiteral("Красный"));
        if (action == "highlight")
            SelectColourNamed(shown, QStringLiteral("clHighlight"));
        if (action == "other cancelled")
            TFontChooser::pickColour = [](QWidget *, const QColor &) { return QColor(); };
        if (action.startsWith("other"))
            shown.OtherColourClick();
    };
    QVERIFY(chooser.Execute());

    const FontDescription chosen = chooser.Font();
    QCOMPARE(AnsiToQString(chosen.name), familyChanged ? family : QStringLiteral("Tahoma"));
    if (height == 0)
        height = -Pixels(chooser, 12);
    QCOMPARE(chosen.height, height);
    QCOMPARE(static_cast<int>(chosen.style), style);
    QCOMPARE(chosen.colour, colour);
}

void FormSettingsTest::chooserOpensOnTheHeldStyle_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("style");
    // Families whose plain style is called "Book" and whose slanted one "Oblique", on every
    // machine.
    for (const QString &face : {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif"),
             QStringLiteral("DejaVu Sans Mono")}) {
        QTest::newRow(qPrintable(face + " plain")) << face << 0;
        QTest::newRow(qPrintable(face + " bold")) << face << int(fsBold);
        QTest::newRow(qPrintable(face + " italic")) << face << int(fsItalic);
        QTest::newRow(qPrintable(face + " bold italic")) << face << int(fsBold | fsItalic);
    }
}

void FormSettingsTest::chooserOpensOnTheHeldStyle()
{
    QFETCH(QString, face);
    QFETCH(int, style);

    QVERIFY(QFontDatabase::hasFamily(face));
    TFontChooser &chooser = *dialog->ListFontDialog();
    const FontDescription held{
        ToAnsi(face), -16, static_cast<std::uint8_t>(style), WINDOW_TEXT_COLOUR};
    chooser.SetFont(held);
    QFont shown;
    pick = [&shown](TFontChooser &opened) { shown = opened.FontWidget()->currentFont(); };
    QVERIFY(chooser.Execute());

    QCOMPARE(shown.family(), face);
    QCOMPARE(shown.bold(), bool(style & fsBold));
    QCOMPARE(shown.style() != QFont::StyleNormal, bool(style & fsItalic));
    QVERIFY(chooser.Font() == held);
}

void FormSettingsTest::cancelledChooserChangesNothing()
{
    const FontDescription before = form->ListFont();
    confirm = false;
    pick = [this](TFontChooser &shown) {
        shown.FontWidget()->setCurrentFont(PointFont(family, 30));
        SelectColourNamed(shown, QStringLiteral("Красный"));
    };
    QTest::mouseClick(dialog->findChild<TGradButton *>("GradButton3"), Qt::LeftButton);
    QVERIFY(dialog->ListFontDialog()->Font() == before);
    QVERIFY(form->ListFont() == before);
}

void FormSettingsTest::keysInTheFontWidgetAnswerForTheChooser_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
}

// The embedded font widget is a dialog of its own, which would otherwise close itself alone.
void FormSettingsTest::keysInTheFontWidgetAnswerForTheChooser()
{
    QFETCH(int, key);
    QFETCH(int, result);

    TFontChooser &chooser = *dialog->ListFontDialog();
    chooser.show();
    QTest::keyClick(chooser.FontWidget(), static_cast<Qt::Key>(key));
    QVERIFY(!chooser.isVisible());
    QCOMPARE(chooser.result(), result);
    QVERIFY(!chooser.FontWidget()->isHidden());
}

void FormSettingsTest::previewShowsAtOnceAndCloseRestoresStoredFonts_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("Cancel") << QString("cancel");
    QTest::newRow("close box") << QString("close");
}

void FormSettingsTest::previewShowsAtOnceAndCloseRestoresStoredFonts()
{
    QFETCH(QString, route);

    pick = [this](TFontChooser &shown) {
        shown.FontWidget()->setCurrentFont(PointFont(family, 16));
        SelectColourNamed(shown, QStringLiteral("Синий"));
    };
    QTest::mouseClick(dialog->findChild<TGradButton *>("GradButton3"), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<TGradButton *>("GradButton4"), Qt::LeftButton);
    QCOMPARE(AnsiToQString(form->ListFont().name), family);
    QCOMPARE(form->ListFont().height, -Pixels(*dialog, 16));
    QCOMPARE(form->ArticleFont().colour, 0xFF0000);

    auto *cancel = dialog->findChild<TGradButton *>("GradButton2");
    QCOMPARE(cancel->Caption(), QStringLiteral("Отмена"));
    if (route == "cancel")
        QTest::mouseClick(cancel, Qt::LeftButton);
    else
        dialog->close();

    QVERIFY(!dialog->isVisible());
    const FontDescription list = form->ListFont();
    QCOMPARE(AnsiToQString(list.name), QStringLiteral("Arial"));
    QCOMPARE(list.height, -13);
    QCOMPARE(list.colour, STORED_LIST_COLOUR);
    const FontDescription article = form->ArticleFont();
    QCOMPARE(AnsiToQString(article.name), QStringLiteral("Verdana"));
    QCOMPARE(article.height, -15);
    QCOMPARE(article.colour, 0x008000);
    QCOMPARE(StoredText("LIST_FONT"), QStringLiteral("Arial"));
}

void FormSettingsTest::okStoresBothFonts_data()
{
    QTest::addColumn<bool>("choose");
    QTest::addColumn<int>("key");
    QTest::newRow("chosen, OK clicked") << true << 0;
    QTest::newRow("nothing chosen, Enter") << false << int(Qt::Key_Return);
    // The default button takes every dialog key its form offers, Escape too.
    QTest::newRow("chosen, Escape") << true << int(Qt::Key_Escape);
}

void FormSettingsTest::okStoresBothFonts()
{
    QFETCH(bool, choose);
    QFETCH(int, key);

    if (choose) {
        pick = [this](TFontChooser &shown) {
            shown.FontWidget()->setCurrentFont(PointFont(family, 18, true, true));
            SelectColourNamed(shown, QStringLiteral("clHighlight"));
        };
        QTest::mouseClick(dialog->findChild<TGradButton *>("GradButton3"), Qt::LeftButton);
        pick = [this](TFontChooser &shown) {
            shown.FontWidget()->setCurrentFont(PointFont(family, 13));
            shown.OtherColourClick();
        };
        QTest::mouseClick(dialog->findChild<TGradButton *>("GradButton4"), Qt::LeftButton);
    }
    const FontDescription list = dialog->ListFontDialog()->Font();
    const FontDescription article = dialog->ArticleFontDialog()->Font();
    auto *ok = dialog->findChild<TGradButton *>("GradButton1");
    QCOMPARE(ok->Caption(), QStringLiteral("ОК"));
    if (key != 0)
        QTest::keyClick(dialog.get(), static_cast<Qt::Key>(key));
    else
        QTest::mouseClick(ok, Qt::LeftButton);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(StoredText("LIST_FONT"), choose ? family : QStringLiteral("Arial"));
    QCOMPARE(StoredInt("LIST_FONT_HEIGHT"), choose ? -Pixels(*dialog, 18) : -13);
    QCOMPARE(StoredInt("LIST_FONT_BOLD"), choose ? 1 : 0);
    QCOMPARE(StoredInt("LIST_FONT_ITALIC"), choose ? 1 : 0);
    QCOMPARE(StoredInt("LIST_FONT_COLOR"), choose ? HIGHLIGHT_COLOUR : STORED_LIST_COLOUR);
    QCOMPARE(StoredText("PARTICLE_FONT"), choose ? family : QStringLiteral("Verdana"));
    QCOMPARE(StoredInt("PARTICLE_FONT_HEIGHT"), choose ? -Pixels(*dialog, 13) : -15);
    QCOMPARE(StoredInt("PARTICLE_FONT_COLOR"), choose ? 0x030201 : 0x008000);
    // Read back at close, the stored fonts are the ones confirmed.
    QVERIFY(form->ListFont() == list);
    QVERIFY(form->ArticleFont() == article);
}

QTEST_MAIN(FormSettingsTest)
#include "Form_settings_test.moc"
