#pragma once

namespace quorvane {

// Command ids of the menus and buttons. Every menu action carries its id in QAction::data().
namespace cmd {
inline constexpr int kExit = 57665;
inline constexpr int kForegroundColor = 40027;
inline constexpr int kBackgroundColor = 40028;
inline constexpr int kResetColors = 40033;
inline constexpr int kLogging = 40044;
inline constexpr int kCorrectionHistory = 40047;
inline constexpr int kMinimizeToTray = 40019;
inline constexpr int kRunAtStartup = 40038;
inline constexpr int kStartMinimized = 40040;
inline constexpr int kUseNts = 40048;
inline constexpr int kPollMode = 40045;
inline constexpr int kListenMode = 40046;
inline constexpr int kServers = 40035;
inline constexpr int kAbout = 40021;
inline constexpr int kInstructions = 40034;
inline constexpr int kHomePage = 40025;
inline constexpr int kHelpPage = 40026;
inline constexpr int kRestore = 40039;
inline constexpr int kCorrectClock = 40020;
inline constexpr int kQueryButton = 1029;
inline constexpr int kSyncButton = 1030;
}  // namespace cmd

}  // namespace quorvane
