#include "gui/SettingColour.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace maroka::gui {

namespace {

struct SystemColour {
    int index; // the low byte of a $FF0000nn value
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr std::array kSystemColours{
    SystemColour{0, QPalette::Active, QPalette::Button},           // scroll bar
    SystemColour{1, QPalette::Active, QPalette::Window},           // desktop
    SystemColour{2, QPalette::Active, QPalette::Highlight},        // active caption
    SystemColour{3, QPalette::Active, QPalette::Mid},              // inactive caption
    SystemColour{4, QPalette::Active, QPalette::Window},           // menu
    SystemColour{5, QPalette::Active, QPalette::Base},             // window
    SystemColour{6, QPalette::Active, QPalette::Shadow},           // window frame
    SystemColour{7, QPalette::Active, QPalette::WindowText},       // menu text
    SystemColour{8, QPalette::Active, QPalette::Text},             // window text
    SystemColour{9, QPalette::Active, QPalette::HighlightedText},  // caption text
    SystemColour{10, QPalette::Active, QPalette::Window},          // active border
    SystemColour{11, QPalette::Active, QPalette::Window},          // inactive border
    SystemColour{12, QPalette::Active, QPalette::Dark},            // application work space
    SystemColour{13, QPalette::Active, QPalette::Highlight},       // highlight
    SystemColour{14, QPalette::Active, QPalette::HighlightedText}, // highlight text
    SystemColour{15, QPalette::Active, QPalette::Button},          // button face
    SystemColour{16, QPalette::Active, QPalette::Dark},            // button shadow
    SystemColour{17, QPalette::Disabled, QPalette::Text},          // grey text
    SystemColour{18, QPalette::Active, QPalette::ButtonText},      // button text
    SystemColour{19, QPalette::Active, QPalette::WindowText},      // inactive caption text
    SystemColour{20, QPalette::Active, QPalette::Light},           // button highlight
    SystemColour{21, QPalette::Active, QPalette::Shadow},          // 3D dark shadow
    SystemColour{22, QPalette::Active, QPalette::Midlight},        // 3D light
    SystemColour{23, QPalette::Active, QPalette::ToolTipText},     // info text
    SystemColour{24, QPalette::Active, QPalette::ToolTipBase},     // info background
};

struct NamedColour {
    std::string_view name;
    std::uint32_t value; // $AABBGGRR as the settings file writes it
};

constexpr std::array kNamedColours{
    NamedColour{"clBlack", 0x000000},
    NamedColour{"clMaroon", 0x000080},
    NamedColour{"clGreen", 0x008000},
    NamedColour{"clOlive", 0x008080},
    NamedColour{"clNavy", 0x800000},
    NamedColour{"clPurple", 0x800080},
    NamedColour{"clTeal", 0x808000},
    NamedColour{"clGray", 0x808080},
    NamedColour{"clSilver", 0xC0C0C0},
    NamedColour{"clRed", 0x0000FF},
    NamedColour{"clLime", 0x00FF00},
    NamedColour{"clYellow", 0x00FFFF},
    NamedColour{"clBlue", 0xFF0000},
    NamedColour{"clFuchsia", 0xFF00FF},
    NamedColour{"clAqua", 0xFFFF00},
    NamedColour{"clWhite", 0xFFFFFF},
    NamedColour{"clLtGray", 0xC0C0C0},
    NamedColour{"clDkGray", 0x808080},
    NamedColour{"clMoneyGreen", 0xC0DCC0},
    NamedColour{"clSkyBlue", 0xF0CAA6},
    NamedColour{"clCream", 0xF0FBFF},
    NamedColour{"clMedGray", 0xA4A0A0},
    NamedColour{"clScrollBar", 0xFF000000},
    NamedColour{"clBackground", 0xFF000001},
    NamedColour{"clActiveCaption", 0xFF000002},
    NamedColour{"clInactiveCaption", 0xFF000003},
    NamedColour{"clMenu", 0xFF000004},
    NamedColour{"clWindow", 0xFF000005},
    NamedColour{"clWindowFrame", 0xFF000006},
    NamedColour{"clMenuText", 0xFF000007},
    NamedColour{"clWindowText", 0xFF000008},
    NamedColour{"clCaptionText", 0xFF000009},
    NamedColour{"clActiveBorder", 0xFF00000A},
    NamedColour{"clInactiveBorder", 0xFF00000B},
    NamedColour{"clAppWorkSpace", 0xFF00000C},
    NamedColour{"clHighlight", 0xFF00000D},
    NamedColour{"clHighlightText", 0xFF00000E},
    NamedColour{"clBtnFace", 0xFF00000F},
    NamedColour{"clBtnShadow", 0xFF000010},
    NamedColour{"clGrayText", 0xFF000011},
    NamedColour{"clBtnText", 0xFF000012},
    NamedColour{"clInactiveCaptionText", 0xFF000013},
    NamedColour{"clBtnHighlight", 0xFF000014},
    NamedColour{"cl3DDkShadow", 0xFF000015},
    NamedColour{"cl3DLight", 0xFF000016},
    NamedColour{"clInfoText", 0xFF000017},
    NamedColour{"clInfoBk", 0xFF000018},
};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// "$" + hex digits, or a decimal number that may be negative (system colours
// written as a signed 32-bit value, e.g. -16777211 for clWindow).
std::optional<std::uint32_t> ParseNumber(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.front() == '$') {
        text.remove_prefix(1);
        if (text.empty() || text.size() > 8) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
        if (error != std::errc{} || end != text.data() + text.size()) {
            return std::nullopt;
        }
        return value;
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc{} || end != text.data() + text.size() || value < INT32_MIN || value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<QColor> FromValue(std::uint32_t value, const QPalette& palette)
{
    const std::uint32_t kind = value >> 24;
    if (kind == 0xFF) {
        const int index = static_cast<int>(value & 0xFFFFFF);
        for (const SystemColour& colour : kSystemColours) {
            if (colour.index == index) {
                return palette.color(colour.group, colour.role);
            }
        }
        return std::nullopt;
    }
    // 0x01 and 0x02 were palette-index and palette-relative forms of the same
    // RGB value; the low three bytes are the colour.
    if (kind > 0x02) {
        return std::nullopt;
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

} // namespace

std::optional<QColor> SettingColour(std::string_view value, const QPalette& palette)
{
    value = Trim(value);
    for (const NamedColour& named : kNamedColours) {
        if (EqualsNoCase(named.name, value)) {
            return FromValue(named.value, palette);
        }
    }
    if (auto number = ParseNumber(value)) {
        return FromValue(*number, palette);
    }
    return std::nullopt;
}

} // namespace maroka::gui
