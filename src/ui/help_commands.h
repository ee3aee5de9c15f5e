#pragma once

#include <QWidget>

#include "ui/command_registry.h"

namespace quorvane {

inline constexpr const char* kHomePageUrl = "https://www.veltrand.example/";
inline constexpr const char* kHelpPageUrl = "https://www.veltrand.example/quorvane/help.html";

// About, Instructions and the two web pages. The dialogs are owned by `parent`.
void RegisterHelpCommands(CommandRegistry& commands, QWidget* parent);

}  // namespace quorvane
