#pragma once

// Colour values of the settings file: a colour name ("clWindow", "clRed",
// ...) or "$" and eight hexadecimal digits 00BBGGRR. System colours stand for
// a role of the desktop's palette (window background, window text, ...); a
// front end maps the role onto its own palette.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace maroka::settings {

inline constexpr std::string_view kDefaultWindowColour = "clWindow";
inline constexpr std::string_view kDefaultTextColour = "clWindowText";

// The roles, numbered as the values "$FF0000nn" (and the older "$800000nn")
// number them.
enum class SystemColour : std::uint8_t {
    ScrollBar = 0,
    Background = 1,
    ActiveCaption = 2,
    InactiveCaption = 3,
    Menu = 4,
    Window = 5,
    WindowFrame = 6,
    MenuText = 7,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    InactiveBorder = 11,
    AppWorkSpace = 12,
    Highlight = 13,
    HighlightText = 14,
    ButtonFace = 15,
    ButtonShadow = 16,
    GrayText = 17,
    ButtonText = 18,
    InactiveCaptionText = 19,
    ButtonHighlight = 20,
    DarkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBackground = 24,
    HotLight = 26,
    GradientActiveCaption = 27,
    GradientInactiveCaption = 28,
    MenuHighlight = 29,
    MenuBar = 30,
};

struct Colour {
    std::optional<SystemColour> system; // set for a system colour
    // The colour itself, or for a system colour the classic desktop's one,
    // for a front end without a matching role.
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// True for a known colour name (any letter case) or "$" and eight
// hexadecimal digits.
bool IsValidColourValue(std::string_view value);

// The colour a value stands for, or nullopt for a value that is not valid.
std::optional<Colour> ParseColourValue(std::string_view value);

// The value to store for a colour picked by the user: the name of a named
// colour with exactly these components, else "$00BBGGRR".
std::string FormatColourValue(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

} // namespace maroka::settings
