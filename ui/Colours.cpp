#include "ui/Colours.h"

#include <iterator>

#include <QApplication>
#include <QWidget>

namespace {

constexpr std::uint32_t SYSTEM_COLOUR_BIT = 0x80000000u;

constexpr std::int32_t System(std::uint32_t index)
{
    return static_cast<std::int32_t>(SYSTEM_COLOUR_BIT | index);
}

// Indices of the Windows system colours, with the palette role that plays the same part here.
const SystemColour SYSTEM_COLOURS[] = {
    {System(0), QPalette::Button, "clScrollBar"},
    {System(1), QPalette::Dark, "clBackground"},
    {System(2), QPalette::Highlight, "clActiveCaption"},
    {System(3), QPalette::Mid, "clInactiveCaption"},
    {System(4), QPalette::Window, "clMenu"},
    {System(5), QPalette::Base, "clWindow"},
    {System(6), QPalette::Shadow, "clWindowFrame"},
    {System(7), QPalette::WindowText, "clMenuText"},
    {System(8), QPalette::Text, "clWindowText"},
    {System(9), QPalette::HighlightedText, "clCaptionText"},
    {System(10), QPalette::Button, "clActiveBorder"},
    {System(11), QPalette::Button, "clInactiveBorder"},
    {System(12), QPalette::Dark, "clAppWorkSpace"},
    {System(13), QPalette::Highlight, "clHighlight"},
    {System(14), QPalette::HighlightedText, "clHighlightText"},
    {System(15), QPalette::Button, "clBtnFace"},
    {System(16), QPalette::Dark, "clBtnShadow"},
    {System(17), QPalette::PlaceholderText, "clGrayText"},
    {System(18), QPalette::ButtonText, "clBtnText"},
    {System(19), QPalette::Midlight, "clInactiveCaptionText"},
    {System(20), QPalette::Light, "clBtnHighlight"},
    {System(21), QPalette::Shadow, "cl3DDkShadow"},
    {System(22), QPalette::Midlight, "cl3DLight"},
    {System(23), QPalette::ToolTipText, "clInfoText"},
    {System(24), QPalette::ToolTipBase, "clInfoBk"},
    {System(26), QPalette::Link, "clHotLight"},
    {System(27), QPalette::Highlight, "clGradientActiveCaption"},
    {System(28), QPalette::Mid, "clGradientInactiveCaption"},
    {System(29), QPalette::Highlight, "clMenuHighlight"},
    {System(30), QPalette::Window, "clMenuBar"},
};

QColor Resolve(std::int32_t colour, const QPalette &palette)
{
    const auto value = static_cast<std::uint32_t>(colour);
    if (value & SYSTEM_COLOUR_BIT) {
        for (const SystemColour &system : SYSTEM_COLOURS) {
            if (system.value == colour)
                return palette.color(QPalette::Active, system.role);
        }
        return palette.color(QPalette::Active, QPalette::Text);
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QPalette MakeLightPalette()
{
    struct RoleColour
    {
        QPalette::ColorRole role;
        QRgb normal;
        QRgb disabled;
    };
    const RoleColour colours[] = {
        {QPalette::WindowText, 0xFF000000, 0xFFBEBEBE},
        {QPalette::Button, 0xFFEFEFEF, 0xFFEFEFEF},
        {QPalette::Light, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::Midlight, 0xFFCACACA, 0xFFCACACA},
        {QPalette::Dark, 0xFF9F9F9F, 0xFFBEBEBE},
        {QPalette::Mid, 0xFFB8B8B8, 0xFFB8B8B8},
        {QPalette::Text, 0xFF000000, 0xFFBEBEBE},
        {QPalette::BrightText, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::ButtonText, 0xFF000000, 0xFFBEBEBE},
        {QPalette::Base, 0xFFFFFFFF, 0xFFEFEFEF},
        {QPalette::Window, 0xFFEFEFEF, 0xFFEFEFEF},
        {QPalette::Shadow, 0xFF767676, 0xFFB1B1B1},
        {QPalette::Highlight, 0xFF308CC6, 0xFF919191},
        {QPalette::HighlightedText, 0xFFFFFFFF, 0xFFFFFFFF},
        {QPalette::Link, 0xFF0000FF, 0xFF0000FF},
        {QPalette::LinkVisited, 0xFFFF00FF, 0xFFFF00FF},
        {QPalette::AlternateBase, 0xFFF7F7F7, 0xFFF7F7F7},
        {QPalette::ToolTipBase, 0xFFFFFFDC, 0xFFFFFFDC},
        {QPalette::ToolTipText, 0xFF000000, 0xFF000000},
        {QPalette::PlaceholderText, 0x80000000, 0x80000000},
    };
    QPalette palette;
    for (const RoleColour &colour : colours) {
        const QColor normal = QColor::fromRgba(colour.normal);
        palette.setColor(QPalette::Active, colour.role, normal);
        palette.setColor(QPalette::Inactive, colour.role, normal);
        palette.setColor(QPalette::Disabled, colour.role, QColor::fromRgba(colour.disabled));
    }
    return palette;
}

} // namespace

QColor ToQColor(std::int32_t colour)
{
    return Resolve(colour, QApplication::palette());
}

const QPalette &LightPalette()
{
    static const QPalette palette = MakeLightPalette();
    return palette;
}

QColor ToQColorOnLight(std::int32_t colour)
{
    return Resolve(colour, LightPalette());
}

void SetLightBackground(QWidget *widget, QRgb background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, QColor(background));
    for (const QPalette::ColorRole role :
        {QPalette::Text, QPalette::Highlight, QPalette::HighlightedText}) {
        for (const QPalette::ColorGroup group :
            {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, role, LightPalette().color(group, role));
    }
    widget->setPalette(palette);
}

std::int32_t FromQColor(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rgb.red())
        | static_cast<std::uint32_t>(rgb.green()) << 8
        | static_cast<std::uint32_t>(rgb.blue()) << 16);
}

const SystemColour *SystemColours(int &count)
{
    count = static_cast<int>(std::size(SYSTEM_COLOURS));
    return SYSTEM_COLOURS;
}
