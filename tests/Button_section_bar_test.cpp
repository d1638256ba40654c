#include "controls/Button_section_bar.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

#include "controls/Grad_button.h"

namespace {

constexpr std::uint32_t HIGH_ID = 0xF01D0C05;

class Recorder : public ButtonSectionBarObserver
{
public:
    void OnDictionaryClick(std::uint32_t id) override { calls.push_back(id); }
    std::vector<std::uint32_t> calls;
};

QImage Glyph()
{
    QImage glyph(20, 25, QImage::Format_RGB32);
    glyph.fill(QColor(0, 255, 0));
    glyph.setPixel(1, 1, qRgb(0, 0, 255));
    return glyph;
}

// Groups 0 (two items), 1 (one item) and 2 (none), then collapse-all and expand-all, laid out as
// the main window does. Empty captions make every item 5 pixels wide.
void Build(SectionBar &bar, bool uniform, const QString &caption = QString())
{
    bar.SetUniformColours(uniform);
    for (int i = 0; i < 3; ++i)
        bar.AddSection(Glyph(), QStringLiteral("group %1").arg(i), SectionKind::Group);
    bar.AddItem(0, caption, 7);
    bar.AddItem(0, caption, HIGH_ID);
    bar.AddItem(1, caption, 8);
    bar.AddSection(Glyph(), "collapse", SectionKind::CollapseAll);
    bar.AddSection(Glyph(), "expand", SectionKind::ExpandAll);
    bar.ExpandAllSections();
}

TGradButton *HeaderWithTag(const SectionBar &bar, int tag)
{
    for (int i = 0; i < bar.SectionCount(); ++i)
        if (bar.GetSection(i).header->Tag() == tag)
            return bar.GetSection(i).header;
    return nullptr;
}

TGradButton *ItemWithValue(const SectionBar &bar, std::uint32_t value)
{
    for (int i = 0; i < bar.SectionCount(); ++i)
        for (const SectionBar::Item &item : bar.GetSection(i).items)
            if (item.value == value)
                return item.button;
    return nullptr;
}

// How many device pixels wide the caption's ink is: the button drawn with it, against the same
// button drawn without; -1 when the ink touches the button's edge, where it would be cut.
int InkWidth(TGradButton *button, const QString &caption)
{
    button->SetCaption(caption);
    const QImage with = button->grab().toImage();
    button->SetCaption(QString());
    const QImage without = button->grab().toImage();
    button->SetCaption(caption);
    int first = -1;
    int last = -1;
    for (int x = 0; x < with.width(); ++x)
        for (int y = 0; y < with.height(); ++y)
            if (with.pixel(x, y) != without.pixel(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    if (first <= 0 || last >= with.width() - 1)
        return -1;
    return last - first + 1;
}

} // namespace

class Button_section_barTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void headers();
    void layout_data();
    void layout();
    void itemWidths_data();
    void itemWidths();
    void captionsFitAtEveryScale_data();
    void captionsFitAtEveryScale();
    void selection_data();
    void selection();
    void colours_data();
    void colours();
    void clear();
    void overflow_data();
    void overflow();
    void overflowMenu();
    void overflowFromTheKeyboard();

private:
    std::unique_ptr<QWidget> form;
    Recorder recorder;
};

void Button_section_barTest::init()
{
    form = std::make_unique<QWidget>();
    form->resize(600, 100);
    form->show();
    recorder.calls.clear();
}

void Button_section_barTest::cleanup()
{
    form.reset();
}

void Button_section_barTest::headers()
{
    SectionBar bar(form.get(), &recorder);
    Build(bar, true);
    QCOMPARE(bar.SectionCount(), 5);
    const int tags[] = {0, 1, 2, SectionBar::TAG_COLLAPSE_ALL, SectionBar::TAG_EXPAND_ALL};
    for (int i = 0; i < 5; ++i) {
        TGradButton *header = bar.GetSection(i).header;
        QCOMPARE(header->Tag(), tags[i]);
        QCOMPARE(header->size(), QSize(40, 30));
        QCOMPARE(header->y(), 0);
        QVERIFY(header->font().bold());
        QVERIFY(header->Caption().isEmpty());
        QCOMPARE(header->parentWidget(), form.get());
        QCOMPARE(form->findChild<TGradButton *>(QStringLiteral("SectionHeader%1").arg(i)), header);
    }
    QCOMPARE(bar.GetSection(1).header->toolTip(), QString("group 1"));
    QCOMPARE(form->findChild<TGradButton *>("SectionItem_F01D0C05"), ItemWithValue(bar, HIGH_ID));
    // The glyph's transparent corner lands on (10, 2), its marker pixel one further.
    const QImage image = bar.GetSection(0).header->grab().toImage();
    QCOMPARE(image.pixel(11, 3), qRgb(0, 0, 255));
    QVERIFY(image.pixel(10, 2) != qRgb(0, 255, 0));
}

void Button_section_barTest::layout_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QList<int>>("headerX");
    const int collapse = SectionBar::TAG_COLLAPSE_ALL;
    const int expand = SectionBar::TAG_EXPAND_ALL;
    QTest::newRow("all expanded") << QList<int>{} << QList<int>{0, 50, 95, 135, 175};
    QTest::newRow("first group collapsed") << QList<int>{0} << QList<int>{0, 40, 85, 125, 165};
    QTest::newRow("collapsed and expanded again")
        << QList<int>{0, 0} << QList<int>{0, 50, 95, 135, 175};
    QTest::newRow("middle group collapsed") << QList<int>{1} << QList<int>{0, 50, 90, 130, 170};
    QTest::newRow("group without items") << QList<int>{2} << QList<int>{0, 50, 95, 135, 175};
    QTest::newRow("collapse all") << QList<int>{collapse} << QList<int>{0, 40, 80, 120, 160};
    QTest::newRow("collapse all, expand all")
        << QList<int>{collapse, expand} << QList<int>{0, 50, 95, 135, 175};
    QTest::newRow("collapse all, open one")
        << QList<int>{collapse, 1} << QList<int>{0, 40, 85, 125, 165};
    QTest::newRow("twice collapse all")
        << QList<int>{0, collapse, collapse} << QList<int>{0, 40, 80, 120, 160};
}

void Button_section_barTest::layout()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QList<int>, headerX);
    SectionBar bar(form.get(), &recorder);
    Build(bar, true);
    std::vector<bool> expanded(3, true);
    for (int tag : clicks) {
        QTest::mouseClick(HeaderWithTag(bar, tag), Qt::LeftButton, {}, QPoint(5, 5));
        if (tag >= 0)
            expanded[tag] = !expanded[tag];
        else
            expanded.assign(3, tag == SectionBar::TAG_EXPAND_ALL);
    }
    QList<int> x;
    for (int i = 0; i < bar.SectionCount(); ++i) {
        const SectionBar::Section &section = bar.GetSection(i);
        x << section.header->x();
        if (i < 3)
            QCOMPARE(section.expanded, bool(expanded[i]));
        // Hidden items keep their place right after their header.
        int itemX = section.header->x() + section.header->width();
        for (const SectionBar::Item &item : section.items) {
            QCOMPARE(item.button->x(), itemX);
            QCOMPARE(item.button->isHidden(), !section.expanded);
            itemX += item.button->width();
        }
    }
    QCOMPARE(x, headerX);
    QVERIFY(recorder.calls.empty());
}

void Button_section_barTest::itemWidths_data()
{
    QTest::addColumn<int>("defaultPoints");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("drawnFontWider");
    // A default font far from Arial 10 shows which font measured the caption.
    QTest::newRow("empty") << 20 << QString() << false;
    QTest::newRow("latin in a large default font") << 20 << QString("Wide caption WWW") << false;
    QTest::newRow("cyrillic in a large default font")
        << 20 << QString::fromUtf8("\xD0\x94\xD0\xB0\xD0\xBB\xD1\x8C") << false;
    QTest::newRow("ampersand measured raw") << 20 << QString("A&B") << false;
    QTest::newRow("latin in a small default font") << 5 << QString("FOLDOC") << true;
    QTest::newRow("cyrillic in a small default font")
        << 5 << QString::fromUtf8("\xD0\xA0\xD1\x83\xD1\x81-\xD0\x90\xD0\xBD\xD0\xB3\xD0\xBB")
        << true;
}

void Button_section_barTest::itemWidths()
{
    QFETCH(int, defaultPoints);
    QFETCH(QString, caption);
    QFETCH(bool, drawnFontWider);
    const QFont saved = QApplication::font();
    const QFont defaultFont("DejaVu Sans", defaultPoints);
    QApplication::setFont(defaultFont);
    SectionBar bar(form.get(), &recorder);
    bar.AddSection(Glyph(), "group", SectionKind::Group);
    bar.AddItem(0, caption, 1);
    bar.AddItem(0, caption, 2);
    QApplication::setFont(saved);
    const SectionBar::Section &section = bar.GetSection(0);
    const TGradButton *first = section.items[0].button;
    const int measured = QFontMetrics(defaultFont).horizontalAdvance(caption);
    const int drawn = QFontMetrics(first->font()).horizontalAdvance(caption);
    QCOMPARE(drawn > measured, drawnFontWider);
    const int expected = std::max(measured, drawn) + 5;
    QCOMPARE(first->width(), expected);
    QCOMPARE(first->font().family(), QString("Arial"));
    QCOMPARE(first->font().pointSize(), 10);
    QVERIFY(!first->font().bold());
    QCOMPARE(first->Caption(), caption);
    QCOMPARE(first->x(), 40);
    QCOMPARE(section.items[1].button->x(), 40 + expected);
}

void Button_section_barTest::captionsFitAtEveryScale_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("cyrillic words")
        << QString::fromUtf8("\xD0\xA2\xD0\xBE\xD0\xBB\xD0\xBA\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9 "
                             "\xD1\x81\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8C");
    QTest::newRow("latin") << QString("WordNet");
    QTest::newRow("narrow letters") << QString("illicit");
    QTest::newRow("wide letters") << QString("MWMWM");
}

// Run once at each of the scales the tests are registered with: the width an item is given must
// hold its caption's ink whole, in device pixels too.
void Button_section_barTest::captionsFitAtEveryScale()
{
    QFETCH(QString, caption);
    SectionBar bar(form.get(), &recorder);
    bar.AddSection(Glyph(), "group", SectionKind::Group);
    bar.AddItem(0, caption, 1);
    TGradButton *item = bar.GetSection(0).items[0].button;
    const int fitted = InkWidth(item, caption);
    item->resize(item->width() + 200, item->height());
    const int roomy = InkWidth(item, caption);
    QVERIFY(roomy > 0);
    QCOMPARE(fitted, roomy);
}

void Button_section_barTest::selection_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<uint>>("disabled");
    QTest::addColumn<QList<uint>>("reported");
    QTest::newRow("nothing selected") << QStringList{} << QList<uint>{} << QList<uint>{};
    QTest::newRow("select one") << QStringList{"select 7"} << QList<uint>{7} << QList<uint>{};
    QTest::newRow("high-bit id") << QStringList{"select F01D0C05"} << QList<uint>{HIGH_ID}
                                 << QList<uint>{};
    QTest::newRow("another re-enables the first")
        << QStringList{"select 7", "select F01D0C05"} << QList<uint>{HIGH_ID} << QList<uint>{};
    QTest::newRow("same value twice")
        << QStringList{"select 8", "select 8"} << QList<uint>{8} << QList<uint>{};
    QTest::newRow("unknown value keeps the selection")
        << QStringList{"select 7", "select 99"} << QList<uint>{7} << QList<uint>{};
    QTest::newRow("click reports") << QStringList{"click 8"} << QList<uint>{8} << QList<uint>{8};
    QTest::newRow("click high-bit id")
        << QStringList{"click F01D0C05"} << QList<uint>{HIGH_ID} << QList<uint>{HIGH_ID};
    QTest::newRow("selected item takes no click")
        << QStringList{"click 8", "click 8"} << QList<uint>{8} << QList<uint>{8};
    QTest::newRow("click after select")
        << QStringList{"select 7", "click 8", "click 7"} << QList<uint>{7} << QList<uint>{8, 7};
}

void Button_section_barTest::selection()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<uint>, disabled);
    QFETCH(QList<uint>, reported);
    SectionBar bar(form.get(), &recorder);
    Build(bar, true, "x");
    for (const QString &step : steps) {
        const std::uint32_t value = step.section(' ', 1).toUInt(nullptr, 16);
        if (step.startsWith("select"))
            bar.SelectItem(value);
        else
            QTest::mouseClick(ItemWithValue(bar, value), Qt::LeftButton, {}, QPoint(2, 5));
    }
    QList<uint> actual;
    for (std::uint32_t value : {7u, 8u, HIGH_ID})
        if (!ItemWithValue(bar, value)->isEnabled())
            actual << value;
    QCOMPARE(actual, disabled);
    QCOMPARE(bar.SelectedValue().has_value(), !disabled.isEmpty());
    if (!disabled.isEmpty())
        QCOMPARE(*bar.SelectedValue(), disabled.front());
    QCOMPARE(QList<uint>(recorder.calls.begin(), recorder.calls.end()), reported);
}

void Button_section_barTest::colours_data()
{
    QTest::addColumn<bool>("uniform");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("index");
    QTest::addColumn<TColor>("colour");
    // tag 100 stands for the first item.
    using B = TGradButton;
    QTest::newRow("uniform group")
        << true << 0 << int(csSilver) << int(B::ColorFace) << TColor(0xE0E0E0);
    QTest::newRow("uniform collapse-all")
        << true << -11 << int(csSilver) << int(B::ColorBorder) << TColor(0x626262);
    QTest::newRow("uniform expand-all")
        << true << -10 << int(csSilver) << int(B::ColorFace) << TColor(0xE0E0E0);
    QTest::newRow("uniform item looks pressed when disabled")
        << true << 100 << int(csCustom) << int(B::DisabledColorFace) << TColor(0xD3D3D3);
    QTest::newRow("uniform item disabled light")
        << true << 100 << int(csCustom) << int(B::DisabledColorLight) << TColor(0x7C7C7C);
    QTest::newRow("group") << false << 1 << int(csGlossSun) << int(B::ColorFace)
                           << TColor(0xF0FFFF);
    QTest::newRow("collapse-all") << false << -11 << int(csGlossRose) << int(B::ColorBorder)
                                  << TColor(0x00009D);
    QTest::newRow("expand-all") << false << -10 << int(csGrass) << int(B::ColorFace)
                                << TColor(0x98EBB7);
    QTest::newRow("item") << false << 100 << int(csCustom) << int(B::DisabledColorFace)
                          << TColor(0x2BBAFF);
    QTest::newRow("item disabled grad")
        << false << 100 << int(csCustom) << int(B::DisabledColorGrad) << TColor(0x77D2FF);
}

void Button_section_barTest::colours()
{
    QFETCH(bool, uniform);
    QFETCH(int, tag);
    QFETCH(int, scheme);
    QFETCH(int, index);
    QFETCH(TColor, colour);
    SectionBar bar(form.get(), &recorder);
    Build(bar, uniform, "x");
    TGradButton *button = tag == 100 ? ItemWithValue(bar, 7) : HeaderWithTag(bar, tag);
    QCOMPARE(int(button->GetScheme()), scheme);
    QCOMPARE(button->GetColor(index), colour);
}

void Button_section_barTest::clear()
{
    SectionBar bar(form.get(), &recorder);
    Build(bar, true, "x");
    bar.SelectItem(7);
    bar.Clear();
    QCOMPARE(bar.SectionCount(), 0);
    QVERIFY(form->findChildren<TGradButton *>().isEmpty());
    QVERIFY(!bar.SelectedValue());
    // Built again, the item carrying the old selection's value can be selected anew.
    Build(bar, true, "x");
    QCOMPARE(bar.GetSection(0).header->x(), 0);
    bar.SelectItem(7);
    QVERIFY(!ItemWithValue(bar, 7)->isEnabled());
}

void Button_section_barTest::overflow_data()
{
    // The built row: group 0 at 0 with items 40..50, group 1 at 50 with its item 90..95, group 2
    // at 95, collapse-all at 135, expand-all at 175, ending at 215. The overflow button takes the
    // last OVERFLOW_WIDTH pixels, and whatever does not end left of it is hidden.
    QTest::addColumn<int>("width");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("wider than the row") << 600 << QStringList{};
    QTest::newRow("exactly the row") << 215 << QStringList{};
    QTest::newRow("one pixel short") << 214 << QStringList{"expand"};
    QTest::newRow("last header cut") << 150 << QStringList{"group 2", "collapse", "expand"};
    QTest::newRow("items hidden too")
        << 100 << QStringList{"group 1", "x8", "group 2", "collapse", "expand"};
}

void Button_section_barTest::overflow()
{
    QFETCH(int, width);
    QFETCH(QStringList, hidden);
    SectionBar bar(form.get(), &recorder);
    Build(bar, true);
    const QImage wide = bar.GetSection(0).header->grab().toImage();
    std::vector<QRect> places;
    for (int i = 0; i < bar.SectionCount(); ++i) {
        places.push_back(bar.GetSection(i).header->geometry());
        for (const SectionBar::Item &item : bar.GetSection(i).items)
            places.push_back(item.button->geometry());
    }
    form->resize(width, 100);

    // Item captions are all "x" here; an item is named by its value.
    QStringList actual;
    std::size_t place = 0;
    for (int i = 0; i < bar.SectionCount(); ++i) {
        const SectionBar::Section &section = bar.GetSection(i);
        if (section.header->isHidden())
            actual << section.header->toolTip();
        QCOMPARE(section.header->geometry(), places[place++]);
        for (const SectionBar::Item &item : section.items) {
            if (item.button->isHidden())
                actual << QStringLiteral("x%1").arg(item.value);
            QCOMPARE(item.button->geometry(), places[place++]);
        }
    }
    QCOMPARE(actual, hidden);
    auto *more = form->findChild<TGradButton *>("SectionOverflow");
    QCOMPARE(more && more->isVisible(), !hidden.isEmpty());
    if (more && more->isVisible()) {
        QCOMPARE(more->geometry(),
            QRect(width - SectionBar::OVERFLOW_WIDTH, 0, SectionBar::OVERFLOW_WIDTH,
                SectionBar::BUTTON_HEIGHT));
        QCOMPARE(more->GetScheme(), csSilver);
    }
    QCOMPARE(bar.GetSection(0).header->grab().toImage(), wide);

    // Widened again, everything is back as before.
    form->resize(600, 100);
    for (int i = 0; i < bar.SectionCount(); ++i) {
        QVERIFY(!bar.GetSection(i).header->isHidden());
        for (const SectionBar::Item &item : bar.GetSection(i).items)
            QVERIFY(!item.button->isHidden());
    }
    QVERIFY(!more || more->isHidden());
}

namespace {

QMenu *OpenMenu(QWidget *form)
{
    auto *more = form->findChild<TGradButton *>("SectionOverflow");
    if (!more)
        return nullptr;
    QTest::mouseClick(more, Qt::LeftButton, {}, QPoint(5, 5));
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

void Choose(QMenu *menu, int index)
{
    QTest::mouseClick(
        menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(index)).center());
}

QStringList ActionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text() + (action->isEnabled() ? "" : " (off)");
    return texts;
}

} // namespace

void Button_section_barTest::overflowMenu()
{
    SectionBar bar(form.get(), &recorder);
    Build(bar, true);
    bar.AddItem(2, "last", 9);
    bar.ExpandAllSections();
    bar.SelectItem(9);
    // Group 2's header starts at 95 and ends past the 120 pixels left of the overflow button.
    form->resize(140, 100);
    QMenu *menu = OpenMenu(form.get());
    QVERIFY(menu);
    QCOMPARE(ActionTexts(menu), (QStringList{"group 2", "last (off)", "collapse", "expand"}));
    QVERIFY(!menu->actions().front()->icon().isNull());
    Choose(menu, 2);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    // Collapsed, the headers stand at 0, 40, 80, 120 and 160: the three groups fit.
    QCOMPARE(bar.GetSection(2).expanded, false);
    QVERIFY(!bar.GetSection(2).header->isHidden());
    QVERIFY(bar.GetSection(3).header->isHidden());

    bar.HeaderClick(SectionBar::TAG_EXPAND_ALL);
    bar.SelectItem(8);
    menu = OpenMenu(form.get());
    QVERIFY(menu);
    QCOMPARE(menu->actions()[1]->text(), QString("last"));
    Choose(menu, 1);
    QCOMPARE(QList<uint>(recorder.calls.begin(), recorder.calls.end()), QList<uint>{9});
    QCOMPARE(*bar.SelectedValue(), 9u);
    QTRY_VERIFY(!QApplication::activePopupWidget());
}

void Button_section_barTest::overflowFromTheKeyboard()
{
    SectionBar bar(form.get(), &recorder);
    Build(bar, true);
    form->resize(100, 100);
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto *more = form->findChild<TGradButton *>("SectionOverflow");
    QVERIFY(more);
    more->setFocus();
    QTRY_VERIFY(more->hasFocus());
    QTest::keyClick(more, Qt::Key_Space);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    // The first hidden button is the group 1 header, the next its item.
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(QList<uint>(recorder.calls.begin(), recorder.calls.end()), QList<uint>{8});
}

QTEST_MAIN(Button_section_barTest)
#include "Button_section_bar_test.moc"
