#include "core/settings/ColourValue.h"

#include "core/text/Ascii.h"

#include <array>
#include <cstdio>

namespace maroka::settings {

namespace {

struct NamedColour {
    std::string_view name;
    std::uint32_t bgr; // 00BBGGRR
};

// Where two names share a value, the first is the one written.
constexpr std::array kNamedColours = {
    NamedColour{"clBlack", 0x000000},  NamedColour{"clMaroon", 0x000080},     NamedColour{"clGreen", 0x008000},
    NamedColour{"clOlive", 0x008080},  NamedColour{"clNavy", 0x800000},       NamedColour{"clPurple", 0x800080},
    NamedColour{"clTeal", 0x808000},   NamedColour{"clGray", 0x808080},       NamedColour{"clSilver", 0xC0C0C0},
    NamedColour{"clRed", 0x0000FF},    NamedColour{"clLime", 0x00FF00},       NamedColour{"clYellow", 0x00FFFF},
    NamedColour{"clBlue", 0xFF0000},   NamedColour{"clFuchsia", 0xFF00FF},    NamedColour{"clAqua", 0xFFFF00},
    NamedColour{"clWhite", 0xFFFFFF},  NamedColour{"clMoneyGreen", 0xC0DCC0}, NamedColour{"clSkyBlue", 0xF0CAA6},
    NamedColour{"clCream", 0xF0FBFF},  NamedColour{"clMedGray", 0xA4A0A0},    NamedColour{"clLtGray", 0xC0C0C0},
    NamedColour{"clDkGray", 0x808080},
};

struct NamedSystemColour {
    std::string_view name;
    SystemColour role;
    std::uint32_t classicBgr;
};

constexpr std::array kSystemColours = {
    NamedSystemColour{"clScrollBar", SystemColour::ScrollBar, 0xC8D0D4},
    NamedSystemColour{"clBackground", SystemColour::Background, 0xA56E3A},
    NamedSystemColour{"clActiveCaption", SystemColour::ActiveCaption, 0x6A240A},
    NamedSystemColour{"clInactiveCaption", SystemColour::InactiveCaption, 0x808080},
    NamedSystemColour{"clMenu", SystemColour::Menu, 0xC8D0D4},
    NamedSystemColour{"clWindow", SystemColour::Window, 0xFFFFFF},
    NamedSystemColour{"clWindowFrame", SystemColour::WindowFrame, 0x000000},
    NamedSystemColour{"clMenuText", SystemColour::MenuText, 0x000000},
    NamedSystemColour{"clWindowText", SystemColour::WindowText, 0x000000},
    NamedSystemColour{"clCaptionText", SystemColour::CaptionText, 0xFFFFFF},
    NamedSystemColour{"clActiveBorder", SystemColour::ActiveBorder, 0xC8D0D4},
    NamedSystemColour{"clInactiveBorder", SystemColour::InactiveBorder, 0xC8D0D4},
    NamedSystemColour{"clAppWorkSpace", SystemColour::AppWorkSpace, 0x808080},
    NamedSystemColour{"clHighlight", SystemColour::Highlight, 0x6A240A},
    NamedSystemColour{"clHighlightText", SystemColour::HighlightText, 0xFFFFFF},
    NamedSystemColour{"clBtnFace", SystemColour::ButtonFace, 0xC8D0D4},
    NamedSystemColour{"clBtnShadow", SystemColour::ButtonShadow, 0x808080},
    NamedSystemColour{"clGrayText", SystemColour::GrayText, 0x808080},
    NamedSystemColour{"clBtnText", SystemColour::ButtonText, 0x000000},
    NamedSystemColour{"clInactiveCaptionText", SystemColour::InactiveCaptionText, 0xC8D0D4},
    NamedSystemColour{"clBtnHighlight", SystemColour::ButtonHighlight, 0xFFFFFF},
    NamedSystemColour{"cl3DDkShadow", SystemColour::DarkShadow3D, 0x404040},
    NamedSystemColour{"cl3DLight", SystemColour::Light3D, 0xC8D0D4},
    NamedSystemColour{"clInfoText", SystemColour::InfoText, 0x000000},
    NamedSystemColour{"clInfoBk", SystemColour::InfoBackground, 0xE1FFFF},
    NamedSystemColour{"clHotLight", SystemColour::HotLight, 0x800000},
    NamedSystemColour{"clGradientActiveCaption", SystemColour::GradientActiveCaption, 0xF0CAA6},
    NamedSystemColour{"clGradientInactiveCaption", SystemColour::GradientInactiveCaption, 0xC0C0C0},
    NamedSystemColour{"clMenuHighlight", SystemColour::MenuHighlight, 0x6A240A},
    NamedSystemColour{"clMenuBar", SystemColour::MenuBar, 0xC8D0D4},
};

Colour FromBgr(std::uint32_t bgr)
{
    Colour colour;
    colour.red = static_cast<std::uint8_t>(bgr & 0xFF);
    colour.green = static_cast<std::uint8_t>((bgr >> 8) & 0xFF);
    colour.blue = static_cast<std::uint8_t>((bgr >> 16) & 0xFF);
    return colour;
}

std::optional<std::uint32_t> ParseHexValue(std::string_view value)
{
    if (value.size() != 9 || value.front() != '$')
        return std::nullopt;
    std::uint32_t number = 0;
    for (const char c : value.substr(1)) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return std::nullopt;
        number = (number << 4) | digit;
    }
    return number;
}

const NamedSystemColour* FindSystemColour(SystemColour role)
{
    for (const auto& entry : kSystemColours) {
        if (entry.role == role)
            return &entry;
    }
    return nullptr;
}

} // namespace

bool IsValidColourValue(std::string_view value)
{
    return ParseColourValue(value).has_value();
}

std::optional<Colour> ParseColourValue(std::string_view value)
{
    for (const auto& entry : kSystemColours) {
        if (text::AsciiEqualsIgnoreCase(entry.name, value)) {
            Colour colour = FromBgr(entry.classicBgr);
            colour.system = entry.role;
            return colour;
        }
    }
    for (const auto& entry : kNamedColours) {
        if (text::AsciiEqualsIgnoreCase(entry.name, value))
            return FromBgr(entry.bgr);
    }
    const auto number = ParseHexValue(value);
    if (!number)
        return std::nullopt;
    const std::uint32_t high = *number >> 24;
    if (high == 0xFF || high == 0x80) {
        if (const auto* entry = FindSystemColour(static_cast<SystemColour>(*number & 0xFF));
            entry != nullptr && (*number & 0x00FFFF00) == 0) {
            Colour colour = FromBgr(entry->classicBgr);
            colour.system = entry->role;
            return colour;
        }
    }
    // Other high bytes (palette references) keep their RGB part.
    return FromBgr(*number & 0xFFFFFF);
}

std::string FormatColourValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const std::uint32_t bgr = (std::uint32_t{blue} << 16) | (std::uint32_t{green} << 8) | red;
    for (const auto& entry : kNamedColours) {
        if (entry.bgr == bgr)
            return std::string(entry.name);
    }
    char text[10];
    std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(bgr));
    return text;
}

} // namespace maroka::settings
