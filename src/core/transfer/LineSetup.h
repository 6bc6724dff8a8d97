#pragma once

// Builds the line settings from the texts of the main window's line boxes.
// Pure functions: the port applies the result, tests check it directly.

#include "core/serial/LineSettings.h"
#include "core/ui/UserInterface.h"

#include <optional>
#include <string>

namespace maroka::transfer {

// Removes leading and trailing blanks and control characters.
std::string TrimBox(const std::string& text);

// Parses a whole decimal number (after TrimBox); nullopt for anything else.
std::optional<long long> ParseDecimal(const std::string& text);

// The message for a baud-rate or stop-bits box that is not a decimal number,
// or nullopt when both can be used. Empty boxes are fine: they get defaults.
std::optional<std::string> CheckLineBoxes(const LineBoxTexts& boxes);

// Fills the fields of `settings` in the order the port setup sets them,
// keeping every other field as the driver reported it. Empty baud-rate,
// stop-bits and DC3 boxes are first set to "4800", "2" and "13H".
void FillLineSettings(serial::LineSettings& settings, LineBoxTexts& boxes, const serial::QueueSizes& queues);

// The line the boxes describe, as FillLineSettings sets it up on a device.
serial::LineSettings LineOf(LineBoxTexts boxes);

} // namespace maroka::transfer
