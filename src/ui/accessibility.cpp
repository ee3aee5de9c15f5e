#include "ui/accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

#include "ui/time_band.h"

namespace quorvane {
namespace {

constexpr const char* kRoleProperty = "quorvaneAccessibleRole";

// A drop-down list that says its own name and gives its entry as the value.
class NamedListAccessible : public QAccessibleWidget {
 public:
  explicit NamedListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return List()->currentText();
    const QString text = QAccessibleWidget::text(t);
    // Unnamed, it says its entry, as Qt's own interface does.
    return t == QAccessible::Name && text.isEmpty() ? List()->currentText() : text;
  }
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(List()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == List()->view() ? 0 : -1;
  }
  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return;
    if (List()->view()->isVisible()) {
      List()->hidePopup();
    } else {
      List()->showPopup();
    }
  }

 private:
  QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

// The time band: a label whose name is the time it shows, read when a screen reader asks.
// It sends no event when the time changes, or a screen reader would speak every second.
class TimeBandAccessible : public QAccessibleWidget {
 public:
  explicit TimeBandAccessible(TimeBand* band) : QAccessibleWidget(band, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<TimeBand*>(widget())->ShownText();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* MakeInterface(const QString&, QObject* object) {
  if (auto* band = qobject_cast<TimeBand*>(object)) return new TimeBandAccessible(band);
  if (auto* list = qobject_cast<QComboBox*>(object)) {
    return list->isEditable() ? nullptr : new NamedListAccessible(list);
  }
  auto* widget = qobject_cast<QWidget*>(object);
  const QVariant role = widget != nullptr ? widget->property(kRoleProperty) : QVariant();
  if (!role.isValid()) return nullptr;
  return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void InstallAccessibleInterfaces() {
  static const bool installed = [] {
    QAccessible::installFactory(MakeInterface);
    return true;
  }();
  (void)installed;
}

bool LinkLabel(QWidget& window, const QString& labelText, QWidget* control) {
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (label->text() == labelText) {
      label->setBuddy(control);
      return true;
    }
  }
  return false;
}

void NameList(QComboBox* list, const QString& name) {
  InstallAccessibleInterfaces();
  list->setAccessibleName(name);
  // Filling the list already made Qt's interface for it, which ignores the name: ours
  // replaces it.
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(list);
  if (made != nullptr && dynamic_cast<NamedListAccessible*>(made) == nullptr) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
  }
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
  InstallAccessibleInterfaces();
  widget->setProperty(kRoleProperty, static_cast<int>(role));
}

}  // namespace quorvane
