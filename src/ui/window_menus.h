#pragma once

#include <QPoint>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "ui/menu_table.h"

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QWidget;

namespace quorvane {

// The menu bar, the right-click menu and the tray menu, built from the menu table.
class WindowMenus {
 public:
  // The actions belong to `window`, so their prompts reach it from every menu; closing a
  // menu clears `statusText`. `run` carries out a chosen command by its id.
  WindowMenus(QMainWindow& window, QLabel* statusText, std::function<void(int id)> run);

  QMenu* ContextMenu() const { return contextMenu_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  // The item of `id` in `menu`; nullptr when that menu has none.
  QAction* Find(MenuKind menu, int id) const;
  // Sets the check mark of the command in every menu.
  void SetChecked(int id, bool checked);
  // Opens the right-click menu centred across the pointer.
  void PopupContextMenu(const QPoint& globalPos);

 private:
  void Build(MenuKind kind, QWidget* top);
  QWidget* Submenu(QWidget* top, const char* path, std::map<std::string, QMenu*>& made);
  QAction* MakeAction(const MenuItem& item);

  QMainWindow& window_;
  QLabel* statusText_;
  std::function<void(int)> run_;
  QMenu* contextMenu_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  std::map<std::pair<MenuKind, int>, QAction*> actions_;
};

}  // namespace quorvane
