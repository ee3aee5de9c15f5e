#include "ui/menu_table.h"

#include "ui/command_ids.h"

namespace quorvane {
namespace {

constexpr MenuKind kBar = MenuKind::kMenuBar;
constexpr MenuKind kContext = MenuKind::kContextMenu;
constexpr MenuKind kTray = MenuKind::kTrayMenu;

constexpr const char* kToTrayPrompt = "Enables Quorvane to Minimize onto Taskbar Notification Tray";
constexpr const char* kAboutPrompt = "About Quorvane";
constexpr const char* kHomePagePrompt = "Launch Browser to Veltrand, Inc. Home Page";
constexpr const char* kHelpPagePrompt = "Launch Browser to Quorvane Help Page";
constexpr const char* kForegroundPrompt = "Sets the Foreground (Text) Color";
constexpr const char* kBackgroundPrompt = "Sets the Background Color";
constexpr const char* kResetColorsPrompt = "Reset to original color scheme";
constexpr const char* kInstructionsPrompt = "Basic instructions for Quorvane";
constexpr const char* kServersPrompt = "Configure SNTP Server Synchronization Options";
constexpr const char* kAtStartupPrompt = "Enables Quorvane to run at Windows startup";
constexpr const char* kMinimizedPrompt = "Enables Quorvane to start minimized";
constexpr const char* kUseNtsPrompt =
    "Enables Quorvane to accept only time authenticated with Network Time Security";
constexpr const char* kHistoryPrompt =
    "Shows every logged correction over time and the clock's drift";
constexpr const char* kLoggingPrompt =
    "Opens the dialog of logging control and statistics viewing.";

// clang-format off
constexpr MenuItem kItems[] = {
    {kBar, "&File", "E&xit", cmd::kExit, false, "exitAction", ""},
    {kBar, "&View", "&Foreground Color...", cmd::kForegroundColor, false, "foregroundColorAction", kForegroundPrompt},
    {kBar, "&View", "&Background Color...", cmd::kBackgroundColor, false, "backgroundColorAction", kBackgroundPrompt},
    {kBar, "&View", "&Reset Colors", cmd::kResetColors, false, "resetColorsAction", kResetColorsPrompt},
    {kBar, "&View", nullptr, 0, false, nullptr, nullptr},
    {kBar, "&View", "Correction &History...", cmd::kCorrectionHistory, false, "correctionHistoryAction", kHistoryPrompt},
    {kBar, "&Options", "&Logging and Statistics...", cmd::kLogging, false, "loggingAction", kLoggingPrompt},
    {kBar, "&Options", "Minimize to &Tray", cmd::kMinimizeToTray, true, "minimizeToTrayAction", kToTrayPrompt},
    {kBar, "&Options", "&Run at Startup", cmd::kRunAtStartup, true, "runAtStartupAction", kAtStartupPrompt},
    {kBar, "&Options", "Start &Minimized", cmd::kStartMinimized, true, "startMinimizedAction", kMinimizedPrompt},
    {kBar, "&Options", "&Authenticated Time (NTS)", cmd::kUseNts, true, "useNtsAction", kUseNtsPrompt},
    {kBar, "&Mode", "&Poll a Server", cmd::kPollMode, true, "pollModeAction", ""},
    {kBar, "&Mode", "&Listen for a Broadcast", cmd::kListenMode, true, "listenModeAction", ""},
    {kBar, "", "&Servers", cmd::kServers, false, "serversAction", kServersPrompt},
    {kBar, "&Help", "&About", cmd::kAbout, false, "aboutAction", kAboutPrompt},
    {kBar, "&Help", "&Instructions", cmd::kInstructions, false, "instructionsAction", kInstructionsPrompt},
    {kBar, "&Help", nullptr, 0, false, nullptr, nullptr},
    {kBar, "&Help", "&Veltrand Home Page", cmd::kHomePage, false, "homePageAction", kHomePagePrompt},
    {kBar, "&Help", "Quorvane &Help Page", cmd::kHelpPage, false, "helpPageAction", kHelpPagePrompt},

    {kContext, "File", "Exit", cmd::kExit, false, "exitAction", ""},
    {kContext, "&Options/&Colors", "&Reset Colors", cmd::kResetColors, false, "resetColorsAction", kResetColorsPrompt},
    {kContext, "&Options/&Colors", "&Foreground...", cmd::kForegroundColor, false, "foregroundColorAction", kForegroundPrompt},
    {kContext, "&Options/&Colors", "&Background...", cmd::kBackgroundColor, false, "backgroundColorAction", kBackgroundPrompt},
    {kContext, "&Options", "&Servers", cmd::kServers, false, "serversAction", kServersPrompt},
    {kContext, "&Options", "Minimize to &Tray", cmd::kMinimizeToTray, true, "minimizeToTrayAction", kToTrayPrompt},
    {kContext, "&Options", "&Run at Startup", cmd::kRunAtStartup, true, "runAtStartupAction", kAtStartupPrompt},
    {kContext, "&Options", "Start &Minimized", cmd::kStartMinimized, true, "startMinimizedAction", kMinimizedPrompt},
    {kContext, "&Options", "&Authenticated Time (NTS)", cmd::kUseNts, true, "useNtsAction", kUseNtsPrompt},
    {kContext, "Help", "&About", cmd::kAbout, false, "aboutAction", kAboutPrompt},
    {kContext, "Help", "&Instructions", cmd::kInstructions, false, "instructionsAction", kInstructionsPrompt},
    {kContext, "Help", nullptr, 0, false, nullptr, nullptr},
    {kContext, "Help", "&Veltrand Home Page", cmd::kHomePage, false, "homePageAction", kHomePagePrompt},
    {kContext, "Help", "Quorvane &Help Page", cmd::kHelpPage, false, "helpPageAction", kHelpPagePrompt},

    {kTray, "", "Restore", cmd::kRestore, false, "restoreAction", ""},
    {kTray, "", "Correct System Clock", cmd::kCorrectClock, false, "correctClockAction", ""},
    {kTray, "", "Exit", cmd::kExit, false, "exitAction", ""},
};
// clang-format on

}  // namespace

std::span<const MenuItem> MenuTable() { return kItems; }

}  // namespace quorvane
