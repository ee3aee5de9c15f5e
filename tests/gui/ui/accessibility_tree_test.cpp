#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <functional>
#include <iostream>
#include <set>

#include "gui/ui/window_rigs.h"
#include "logging/qt/correction_chart.h"
#include "ui/time_band.h"

// Walks each window's accessibility tree in process, as a screen reader would read it.
namespace quorvane::testing {
namespace {

using Check = std::function<void(QWidget&)>;

struct Window {
  const char* name;
  std::function<void(const Check&)> with;  // makes the window, shows it, checks it
};

template <typename Rig>
void With(const Check& check) {
  Rig rig;
  check(rig.Make());
}

const Window kWindows[] = {{"main window", With<WindowRig>},
                           {"Servers", With<DialogRig>},
                           {"Broadcast Timeout", With<BroadcastRig>},
                           {"Logging & Statistics", With<LoggingRig>},
                           {"Correction History", With<HistoryRig>}};

const std::set<QAccessible::Role> kInteractive = {
    QAccessible::PushButton,  QAccessible::CheckBox,     QAccessible::RadioButton,
    QAccessible::ComboBox,    QAccessible::EditableText, QAccessible::List,
    QAccessible::ProgressBar, QAccessible::MenuItem,     QAccessible::ButtonMenu,
    QAccessible::SpinBox,     QAccessible::Chart};

bool IsField(QAccessible::Role role) {
  return role == QAccessible::EditableText || role == QAccessible::ComboBox ||
         role == QAccessible::List;
}

struct TreeCounts {
  int interactive = 0;
  QStringList unnamed;
  QStringList unlabelled;  // fields with neither a label saying their name nor a name of their own
};

QString Id(QAccessibleInterface* node) {
  return node->object() != nullptr ? node->object()->objectName() : QStringLiteral("(no object)");
}

// Named directly, or by a label whose text is the name.
bool Labelled(QAccessibleInterface* node) {
  const auto* widget = qobject_cast<QWidget*>(node->object());
  if (widget != nullptr && !widget->accessibleName().isEmpty()) return true;
  const QString name = node->text(QAccessible::Name);
  for (const auto& [label, relation] : node->relations(QAccessible::Label)) {
    if (label->text(QAccessible::Name) == name) return true;
  }
  return false;
}

// Closed menus are read too, as a screen reader lists them; a drop-down list's own popup is
// part of the list and not counted apart.
void Walk(QAccessibleInterface* node, TreeCounts& counts, int depth = 0) {
  if (node == nullptr || depth > 40) return;
  if (kInteractive.contains(node->role())) {
    ++counts.interactive;
    if (node->text(QAccessible::Name).trimmed().isEmpty()) counts.unnamed << Id(node);
    if (IsField(node->role()) && !Labelled(node)) counts.unlabelled << Id(node);
  }
  if (node->role() == QAccessible::ComboBox) return;
  for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), counts, depth + 1);
}

TEST(AccessibilityTree, EveryInteractiveControlIsNamedAndEveryFieldLabelled) {
  // The counts of interactive controls are those a screen reader found before the names
  // were added; the chart is one more now that it takes the focus, and the main window's
  // menu one more for authenticated time.
  const std::map<std::string, int> expectedControls = {{"main window", 25},
                                                       {"Servers", 28},
                                                       {"Broadcast Timeout", 7},
                                                       {"Logging & Statistics", 28},
                                                       {"Correction History", 4}};
  for (const Window& window : kWindows) {
    window.with([&](QWidget& w) {
      w.show();
      QCoreApplication::processEvents();
      TreeCounts counts;
      Walk(QAccessible::queryAccessibleInterface(&w), counts);
      std::cout << window.name << ": " << counts.interactive << " interactive, "
                << counts.unnamed.size() << " unnamed, " << counts.unlabelled.size()
                << " fields unlabelled\n";
      EXPECT_EQ(counts.interactive, expectedControls.at(window.name)) << window.name;
      EXPECT_EQ(counts.unnamed.join(' ').toStdString(), "") << window.name;
      EXPECT_EQ(counts.unlabelled.join(' ').toStdString(), "") << window.name;
    });
  }
}

// Controls whose names do not come from a label beside them.
TEST(AccessibilityTree, ControlsWithoutASingleLabelSayWhatTheyAre) {
  struct Case {
    const char* window;
    const char* object;
    QAccessible::Role role;
    const char* name;
    const char* value;  // nullptr: not checked
  };
  const Case cases[] = {
      {"main window", "progressBar", QAccessible::ProgressBar, "Progress", nullptr},
      {"Servers", "intervalUnitList", QAccessible::ComboBox, "Sync Interval unit", "Hour(s)"},
      {"Servers", "standardServerList", QAccessible::ComboBox, "Standard Servers", ""},
      {"Servers", "primaryStatusField", QAccessible::EditableText, "Primary test status",
       "Untested"},
      {"Broadcast Timeout", "timeoutUnitCombo", QAccessible::ComboBox, "Broadcast Timeout unit",
       "Hour(s)"},
      {"Logging & Statistics", "timeUnitCombo", QAccessible::ComboBox, "Time limit unit", nullptr},
      {"Logging & Statistics", "timeLimitEdit", QAccessible::EditableText, "Time limit", nullptr},
      {"Logging & Statistics", "timeLimitUpDown/up", QAccessible::PushButton, "Increase Time limit",
       nullptr},
      {"Logging & Statistics", "backupsUpDown/down", QAccessible::PushButton,
       "Decrease Number of log file backups to keep", nullptr},
      {"Correction History", "correctionChart", QAccessible::Chart,
       "Drift: +12.000 s per day (+138.89 ppm): the clock loses time. "
       "From 10 successful corrections over 9 hours 0 minutes.",
       nullptr},
  };
  for (const Window& window : kWindows) {
    window.with([&](QWidget& w) {
      for (const Case& c : cases) {
        if (std::string(c.window) != window.name) continue;
        QWidget* object = &w;  // "parent/child" names a child of a named control
        for (const QString& name : QString::fromLatin1(c.object).split('/')) {
          object = object->findChild<QWidget*>(name);
          ASSERT_NE(object, nullptr) << c.object;
        }
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
        EXPECT_EQ(node->role(), c.role) << c.object;
        EXPECT_EQ(node->text(QAccessible::Name).toStdString(), c.name) << c.object;
        if (c.value != nullptr) {
          EXPECT_EQ(node->text(QAccessible::Value).toStdString(), c.value) << c.object;
        }
      }
    });
  }
}

// The band is a label whose name is the time it shows, read on request: it sends no event
// as the time changes, or a screen reader would speak every second.
TEST(AccessibilityTree, TimeBandReadsTheShownTimeWithoutAnEventPerTick) {
  static std::vector<QAccessible::Event> bandEvents;
  static QObject* band = nullptr;
  bandEvents.clear();
  WindowRig rig;
  CMainWindow& w = rig.Make();
  w.show();
  band = w.findChild<TimeBand*>("timeBand");
  ASSERT_NE(band, nullptr);
  const bool wasActive = QAccessible::isActive();
  QAccessible::setActive(true);
  const QAccessible::UpdateHandler old = QAccessible::installUpdateHandler([](QAccessibleEvent* e) {
    if (e->object() == band) bandEvents.push_back(e->type());
  });
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(band);
  for (int second = 0; second < 3; ++second) {
    rig.clock.AdvanceMs(1000);
    static_cast<TimeBand*>(band)->ShowTime();
    QCoreApplication::processEvents();
    EXPECT_EQ(node->text(QAccessible::Name).toStdString(), TimeBandText(rig.clock.WallSeconds()));
  }
  QAccessible::installUpdateHandler(old);
  QAccessible::setActive(wasActive);
  EXPECT_EQ(node->role(), QAccessible::StaticText);
  EXPECT_TRUE(bandEvents.empty()) << bandEvents.size() << " events";
}

}  // namespace
}  // namespace quorvane::testing
