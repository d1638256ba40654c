#ifndef CONTROLS_BUTTON_SECTION_BAR_H
#define CONTROLS_BUTTON_SECTION_BAR_H

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

class QImage;
class QWidget;
class SectionOverflow;
class TGradButton;

enum class SectionKind
{
    Group = 0,
    CollapseAll = 1,
    ExpandAll = 2
};

class ButtonSectionBarObserver
{
public:
    virtual ~ButtonSectionBarObserver() = default;
    virtual void OnDictionaryClick(std::uint32_t id) = 0;
};

// The row of section headers and their item buttons across the top of a form. Not a widget: the
// buttons are children of the form, which owns and releases them; the bar keeps only its lists.
// When the row is wider than the form, the buttons that do not fit are reached through an
// overflow button at the right end.
class SectionBar
{
public:
    struct Item
    {
        TGradButton *button;
        std::uint32_t value;
    };
    struct Section
    {
        TGradButton *header;
        std::vector<Item> items;
        bool expanded;
    };

    // Header tags besides a group's own index.
    static constexpr int TAG_EXPAND_ALL = -10;
    static constexpr int TAG_COLLAPSE_ALL = -11;
    static constexpr int BUTTON_HEIGHT = 30;
    // Width of the button that lists the buttons a narrow form cannot show.
    static constexpr int OVERFLOW_WIDTH = 20;

    // `listener` is not owned and must outlive the bar; it may be null.
    SectionBar(QWidget *form, ButtonSectionBarObserver *listener);
    ~SectionBar();
    SectionBar(const SectionBar &) = delete;
    SectionBar &operator=(const SectionBar &) = delete;

    // Affects only buttons created afterwards.
    void SetUniformColours(bool flag);
    // The header is the glyph's width + 20 wide and shows only the glyph; `hint` is its tooltip.
    void AddSection(const QImage &glyph, const QString &hint, SectionKind kind);
    // Placed after the section's current end; later sections move only at the next layout.
    void AddItem(int section, const QString &caption, std::uint32_t value);
    void ExpandAllSections();
    // Disables the item carrying `value` and re-enables the one selected before; a value that no
    // item carries changes nothing.
    void SelectItem(std::uint32_t value);
    // Destroys every button and forgets the selection.
    void Clear();

    void HeaderClick(int tag);
    void ItemClick(std::uint32_t value);

    int SectionCount() const { return static_cast<int>(sections.size()); }
    const Section &GetSection(int index) const { return sections.at(index); }
    std::optional<std::uint32_t> SelectedValue() const { return selectedValue; }
    // Width of the text in the application's default font, whatever font the button draws in.
    static int MeasureText(const QString &text);
    // The overflow button, or null while no row has overflowed.
    TGradButton *OverflowButton() const;

private:
    int SectionEnd(int index) const;
    int SectionRight(int index) const;
    void LayOutSection(int index);
    void ShowItems(int index);
    void HideItems(int index);
    void SetExpandedAll(bool expanded);
    void FitRow();
    TGradButton *FindItem(std::uint32_t value) const;

    QWidget *form;
    std::vector<Section> sections;
    bool uniformColours = false;
    std::optional<std::uint32_t> selectedValue;
    ButtonSectionBarObserver *listener;
    std::unique_ptr<SectionOverflow> overflow;
};

#endif // CONTROLS_BUTTON_SECTION_BAR_H
