#include "gui/SettingColour.h"

#include "core/settings/ColourValue.h"

namespace maroka::gui {

namespace {

using settings::SystemColour;

struct PaletteRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

std::optional<PaletteRole> RoleOf(SystemColour colour)
{
    switch (colour) {
    case SystemColour::Window:
        return PaletteRole{QPalette::Active, QPalette::Base};
    case SystemColour::WindowText:
        return PaletteRole{QPalette::Active, QPalette::Text};
    case SystemColour::ScrollBar:
    case SystemColour::ButtonFace:
        return PaletteRole{QPalette::Active, QPalette::Button};
    case SystemColour::Background:
    case SystemColour::Menu:
    case SystemColour::ActiveBorder:
    case SystemColour::InactiveBorder:
    case SystemColour::MenuBar:
        return PaletteRole{QPalette::Active, QPalette::Window};
    case SystemColour::ActiveCaption:
    case SystemColour::Highlight:
    case SystemColour::GradientActiveCaption:
    case SystemColour::MenuHighlight:
        return PaletteRole{QPalette::Active, QPalette::Highlight};
    case SystemColour::InactiveCaption:
    case SystemColour::GradientInactiveCaption:
        return PaletteRole{QPalette::Active, QPalette::Mid};
    case SystemColour::WindowFrame:
    case SystemColour::DarkShadow3D:
        return PaletteRole{QPalette::Active, QPalette::Shadow};
    case SystemColour::MenuText:
    case SystemColour::InactiveCaptionText:
        return PaletteRole{QPalette::Active, QPalette::WindowText};
    case SystemColour::CaptionText:
    case SystemColour::HighlightText:
        return PaletteRole{QPalette::Active, QPalette::HighlightedText};
    case SystemColour::AppWorkSpace:
    case SystemColour::ButtonShadow:
        return PaletteRole{QPalette::Active, QPalette::Dark};
    case SystemColour::GrayText:
        return PaletteRole{QPalette::Disabled, QPalette::Text};
    case SystemColour::ButtonText:
        return PaletteRole{QPalette::Active, QPalette::ButtonText};
    case SystemColour::ButtonHighlight:
        return PaletteRole{QPalette::Active, QPalette::Light};
    case SystemColour::Light3D:
        return PaletteRole{QPalette::Active, QPalette::Midlight};
    case SystemColour::InfoText:
        return PaletteRole{QPalette::Active, QPalette::ToolTipText};
    case SystemColour::InfoBackground:
        return PaletteRole{QPalette::Active, QPalette::ToolTipBase};
    case SystemColour::HotLight:
        return PaletteRole{QPalette::Active, QPalette::Link};
    }
    return std::nullopt;
}

} // namespace

std::optional<QColor> SettingColour(std::string_view value, const QPalette& palette)
{
    const auto colour = settings::ParseColourValue(value);
    if (!colour) {
        return std::nullopt;
    }
    if (colour->system) {
        if (const auto role = RoleOf(*colour->system)) {
            return palette.color(role->group, role->role);
        }
    }
    return QColor(colour->red, colour->green, colour->blue);
}

} // namespace maroka::gui
