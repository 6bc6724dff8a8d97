#pragma once

// A message the preparation wants shown. The preparation never shows
// anything itself: it hands these back, in order, and the front end shows them.

#include "core/ui/UserInterface.h"

#include <string>

namespace maroka::prepare {

enum class MessageCaption {
    VersionText,     // the main window's version text (boxes with an icon)
    ProgramFileName, // the running program's file name (the unclosed-comment box)
    Plain,           // a plain message box
};

struct PrepareMessage {
    std::string text; // UTF-8
    MessageIcon icon = MessageIcon::Error;
    MessageCaption caption = MessageCaption::VersionText;
};

inline PrepareMessage StopMessage(std::string text)
{
    return {std::move(text), MessageIcon::Error, MessageCaption::VersionText};
}

inline PrepareMessage PlainMessage(std::string text)
{
    return {std::move(text), MessageIcon::None, MessageCaption::Plain};
}

} // namespace maroka::prepare
