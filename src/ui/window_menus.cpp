#include "ui/window_menus.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <string>
#include <string_view>

namespace quorvane {

WindowMenus::WindowMenus(QMainWindow& window, QLabel* statusText, std::function<void(int)> run)
    : window_(window), statusText_(statusText), run_(std::move(run)) {
  QMenuBar* bar = window.menuBar();
  bar->setObjectName(QStringLiteral("mainMenuBar"));
  Build(MenuKind::kMenuBar, bar);
  contextMenu_ = new QMenu(&window);
  contextMenu_->setObjectName(QStringLiteral("contextMenu"));
  Build(MenuKind::kContextMenu, contextMenu_);
  trayMenu_ = new QMenu(&window);
  trayMenu_->setObjectName(QStringLiteral("trayMenu"));
  Build(MenuKind::kTrayMenu, trayMenu_);

  // A menu clears its prompt as it closes, before its command runs.
  QList<QMenu*> closing{contextMenu_, trayMenu_};
  for (QAction* a : bar->actions()) {
    if (a->menu() != nullptr) closing.append(a->menu());
  }
  for (QMenu* m : closing) QObject::connect(m, &QMenu::aboutToHide, statusText_, &QLabel::clear);
}

void WindowMenus::Build(MenuKind kind, QWidget* top) {
  std::map<std::string, QMenu*> made;
  for (const MenuItem& item : MenuTable()) {
    if (item.menu != kind) continue;
    QWidget* into = Submenu(top, item.submenu, made);
    if (item.text == nullptr) {
      static_cast<QMenu*>(into)->addSeparator();
      continue;
    }
    QAction* action = MakeAction(item);
    into->addAction(action);
    actions_.emplace(std::pair{kind, item.id}, action);
  }
}

QWidget* WindowMenus::Submenu(QWidget* top, const char* path, std::map<std::string, QMenu*>& made) {
  const std::string_view all(path);
  QWidget* parent = top;
  size_t start = 0;
  while (start < all.size()) {
    const size_t slash = all.find('/', start);
    const size_t end = slash == std::string_view::npos ? all.size() : slash;
    const std::string key(all.substr(0, end));
    auto found = made.find(key);
    if (found == made.end()) {
      const QString title = QString::fromUtf8(all.substr(start, end - start));
      auto* bar = qobject_cast<QMenuBar*>(parent);
      QMenu* menu =
          bar != nullptr ? bar->addMenu(title) : static_cast<QMenu*>(parent)->addMenu(title);
      found = made.emplace(key, menu).first;
    }
    parent = found->second;
    start = end + 1;
  }
  return parent;
}

QAction* WindowMenus::MakeAction(const MenuItem& item) {
  auto* action = new QAction(QString::fromUtf8(item.text), &window_);
  action->setData(item.id);
  action->setObjectName(QString::fromUtf8(item.name));
  action->setStatusTip(QString::fromUtf8(item.prompt));
  action->setCheckable(item.checkable);
  const int id = item.id;
  // A command on the bar itself has no menu to close, so it clears the prompt itself.
  const bool onTheBar = item.menu == MenuKind::kMenuBar && *item.submenu == '\0';
  QObject::connect(action, &QAction::triggered, &window_, [this, action, id, onTheBar] {
    // Check marks follow the settings, not Qt's own toggling.
    if (action->isCheckable()) action->setChecked(!action->isChecked());
    if (onTheBar) statusText_->clear();
    run_(id);
  });
  return action;
}

QAction* WindowMenus::Find(MenuKind menu, int id) const {
  const auto found = actions_.find(std::pair{menu, id});
  return found == actions_.end() ? nullptr : found->second;
}

void WindowMenus::SetChecked(int id, bool checked) {
  for (MenuKind menu : {MenuKind::kMenuBar, MenuKind::kContextMenu, MenuKind::kTrayMenu}) {
    if (QAction* action = Find(menu, id)) action->setChecked(checked);
  }
}

void WindowMenus::PopupContextMenu(const QPoint& globalPos) {
  const int half = contextMenu_->sizeHint().width() / 2;
  contextMenu_->popup(QPoint(globalPos.x() - half, globalPos.y()));
}

}  // namespace quorvane
