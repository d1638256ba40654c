#include "ui/Colours.h"

#include <iterator>

#include <QApplication>

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

} // namespace

QColor ToQColor(std::int32_t colour)
{
    const auto value = static_cast<std::uint32_t>(colour);
    if (value & SYSTEM_COLOUR_BIT) {
        for (const SystemColour &system : SYSTEM_COLOURS) {
            if (system.value == colour)
                return QApplication::palette().color(QPalette::Active, system.role);
        }
        return QApplication::palette().color(QPalette::Active, QPalette::Text);
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
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
