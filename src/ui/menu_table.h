#pragma once

#include <span>

namespace quorvane {

enum class MenuKind { kMenuBar, kContextMenu, kTrayMenu };

// One item of one of the window's three menus.
struct MenuItem {
  MenuKind menu;
  // Titles of the submenus it stands in, outermost first, joined by '/'; empty: the menu
  // itself.
  const char* submenu;
  // Null for a separator.
  const char* text;
  int id;
  bool checkable;
  // The action's object name, saying what it does.
  const char* name;
  // Shown in the status bar while the item is highlighted.
  const char* prompt;
};

// Every item of every menu, in the order the menus show them.
std::span<const MenuItem> MenuTable();

}  // namespace quorvane
