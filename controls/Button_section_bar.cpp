#include "controls/Button_section_bar.h"

#include <algorithm>
#include <cassert>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>

#include "controls/Grad_button.h"
#include "controls/Section_overflow.h"

namespace {

int RightEdge(const TGradButton *button)
{
    return button->x() + button->width();
}

} // namespace

SectionBar::SectionBar(QWidget *form, ButtonSectionBarObserver *listener)
    : form(form)
    , listener(listener)
    , overflow(std::make_unique<SectionOverflow>(form, [this] { FitRow(); }))
{
}

SectionBar::~SectionBar() = default;

TGradButton *SectionBar::OverflowButton() const
{
    return overflow->Button();
}

void SectionBar::SetUniformColours(bool flag)
{
    uniformColours = flag;
}

int SectionBar::MeasureText(const QString &text)
{
    return QFontMetrics(QApplication::font()).horizontalAdvance(text);
}

void SectionBar::AddSection(const QImage &glyph, const QString &hint, SectionKind kind)
{
    const int index = SectionCount();
    auto *header = new TGradButton(form);
    header->setObjectName(QStringLiteral("SectionHeader%1").arg(index));
    header->setGeometry(
        sections.empty() ? 0 : SectionEnd(index - 1), 0, glyph.width() + 20, BUTTON_HEIGHT);
    header->SetGlyph(glyph);
    QFont font = header->font();
    font.setBold(true);
    header->setFont(font);
    header->setToolTip(hint);
    switch (kind) {
    case SectionKind::ExpandAll:
        header->SetTag(TAG_EXPAND_ALL);
        header->SetColorScheme(csGrass);
        break;
    case SectionKind::CollapseAll:
        header->SetTag(TAG_COLLAPSE_ALL);
        header->SetColorScheme(csGlossRose);
        break;
    default:
        header->SetTag(index);
        header->SetColorScheme(csGlossSun);
        break;
    }
    if (uniformColours)
        header->SetColorScheme(csSilver);
    QObject::connect(header, &TGradButton::clicked, [this, header] { HeaderClick(header->Tag()); });
    header->show();
    sections.push_back(Section{header, {}, true});
}

void SectionBar::AddItem(int section, const QString &caption, std::uint32_t value)
{
    assert(section >= 0 && section < SectionCount());
    if (section < 0 || section >= SectionCount())
        return;
    auto *button = new TGradButton(form);
    button->setObjectName(QStringLiteral("SectionItem_")
        + QString::number(value, 16).rightJustified(8, QLatin1Char('0')).toUpper());
    button->setFont(QFont(QStringLiteral("Arial"), 10));
    // The caption is drawn in the button's own font, which may well be the wider of the two.
    const int captionWidth =
        std::max(MeasureText(caption), QFontMetrics(button->font()).horizontalAdvance(caption));
    button->setGeometry(SectionEnd(section), 0, captionWidth + 5, BUTTON_HEIGHT);
    button->SetCaption(caption);
    button->SetColorScheme(uniformColours ? csSilver : csGlossDesert);
    // A selected item is disabled; drawn in its pressed colours it reads as the one chosen.
    const int copies[][2] = {
        {TGradButton::DisabledColorBorder, TGradButton::DownColorBorder},
        {TGradButton::DisabledColorDark, TGradButton::DownColorDark},
        {TGradButton::DisabledColorFace, TGradButton::DownColorFace},
        {TGradButton::DisabledColorGrad, TGradButton::DownColorGrad},
        {TGradButton::DisabledColorLight, TGradButton::DownColorLight},
        {TGradButton::DisabledColorText, TGradButton::DownColorText},
    };
    for (const auto &copy : copies)
        button->SetColors(copy[0], button->GetColor(copy[1]));
    button->SetTag(static_cast<int>(value));
    QObject::connect(button, &TGradButton::clicked, [this, value] { ItemClick(value); });
    button->show();
    sections[section].items.push_back(Item{button, value});
}

int SectionBar::SectionEnd(int index) const
{
    const Section &section = sections[index];
    return RightEdge(section.items.empty() ? section.header : section.items.back().button);
}

int SectionBar::SectionRight(int index) const
{
    const Section &section = sections[index];
    if (section.items.empty() || !section.expanded)
        return RightEdge(section.header);
    return RightEdge(section.items.back().button);
}

void SectionBar::LayOutSection(int index)
{
    Section &section = sections[index];
    int x = index == 0 ? 0 : SectionRight(index - 1);
    section.header->move(x, 0);
    x += section.header->width();
    for (const Item &item : section.items) {
        item.button->move(x, 0);
        x += item.button->width();
    }
}

void SectionBar::ShowItems(int index)
{
    for (const Item &item : sections[index].items)
        item.button->show();
}

void SectionBar::HideItems(int index)
{
    for (const Item &item : sections[index].items)
        item.button->hide();
}

void SectionBar::SetExpandedAll(bool expanded)
{
    for (int i = 0; i < SectionCount(); ++i) {
        sections[i].expanded = expanded;
        if (expanded)
            ShowItems(i);
        else
            HideItems(i);
        LayOutSection(i);
    }
    FitRow();
}

// Run after every layout: visibility is decided here for every button the layout shows.
void SectionBar::FitRow()
{
    std::vector<TGradButton *> row;
    for (const Section &section : sections) {
        row.push_back(section.header);
        if (section.expanded)
            for (const Item &item : section.items)
                row.push_back(item.button);
    }
    overflow->Fit(row, uniformColours ? csSilver : csGlossSun);
}

void SectionBar::ExpandAllSections()
{
    SetExpandedAll(true);
}

void SectionBar::HeaderClick(int tag)
{
    if (tag == TAG_EXPAND_ALL || tag == TAG_COLLAPSE_ALL) {
        SetExpandedAll(tag == TAG_EXPAND_ALL);
        return;
    }
    if (tag < 0 || tag >= SectionCount())
        return;
    Section &section = sections[tag];
    if (section.expanded)
        HideItems(tag);
    else
        ShowItems(tag);
    section.expanded = !section.expanded;
    for (int i = tag + 1; i < SectionCount(); ++i)
        LayOutSection(i);
    FitRow();
}

void SectionBar::ItemClick(std::uint32_t value)
{
    SelectItem(value);
    if (listener && selectedValue)
        listener->OnDictionaryClick(*selectedValue);
}

TGradButton *SectionBar::FindItem(std::uint32_t value) const
{
    for (const Section &section : sections)
        for (const Item &item : section.items)
            if (item.value == value)
                return item.button;
    return nullptr;
}

void SectionBar::SelectItem(std::uint32_t value)
{
    if (selectedValue == value)
        return;
    TGradButton *chosen = FindItem(value);
    if (!chosen)
        return;
    if (selectedValue)
        if (TGradButton *previous = FindItem(*selectedValue))
            previous->setEnabled(true);
    chosen->setEnabled(false);
    selectedValue = value;
}

void SectionBar::Clear()
{
    overflow->Remove();
    for (const Section &section : sections) {
        for (const Item &item : section.items)
            delete item.button;
        delete section.header;
    }
    sections.clear();
    // The buttons the selection referred to are gone; keeping it would stop the next bar's item
    // with the same value from ever being marked.
    selectedValue.reset();
}
