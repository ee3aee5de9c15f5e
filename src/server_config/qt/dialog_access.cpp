#include "server_config/qt/dialog_access.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "server_config/qt/server_dialog_template.h"
#include "ui/accessibility.h"
#include "ui/dialog_keys.h"

namespace quorvane {
namespace {

// The two panels repeat their label texts, so labels are found by their names.
void Link(QDialog& dialog, const char* labelName, QWidget* control) {
  if (auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(labelName))) {
    label->setBuddy(control);
  }
}

void LinkPanel(QDialog& dialog, const TestPanel& panel, const char* side, const char* status) {
  const QString prefix = QString::fromLatin1(side);
  const std::pair<const char*, QLineEdit*> times[] = {{"RequestLabel", panel.request},
                                                      {"ProcessingLabel", panel.processing},
                                                      {"ResponseLabel", panel.response}};
  for (const auto& [suffix, field] : times) {
    Link(dialog, (prefix + QString::fromLatin1(suffix)).toLatin1().constData(), field);
  }
  // The status has no label: the group's title and its place say what it is.
  panel.status->setAccessibleName(QString::fromLatin1(status));
}

}  // namespace

void MakeServerDialogAccessible(QDialog& dialog, const ServerDialogControls& c) {
  Link(dialog, "primaryServerLabel", c.primary);
  Link(dialog, "secondaryServerLabel", c.secondary);
  Link(dialog, "intervalLabel", c.intervalCount);
  Link(dialog, "correctionLabel", c.correctionCount);
  Link(dialog, "serverInUseLabel", c.serverInUse);
  Link(dialog, "newCustomServerLabel", c.newCustom);
  Link(dialog, "standardServersLabel", c.standardList);
  Link(dialog, "customServersLabel", c.customList);
  LinkPanel(dialog, c.primaryPanel, "primary", "Primary test status");
  LinkPanel(dialog, c.secondaryPanel, "secondary", "Secondary test status");
  NameList(c.intervalUnit, QStringLiteral("Sync Interval unit"));
  NameList(c.correctionUnit, QStringLiteral("Max Correction unit"));
  // A list's label sits above it; an empty list would otherwise be nameless.
  NameList(c.standardList, QStringLiteral("Standard Servers"));
  NameList(c.customList, QStringLiteral("Custom Servers"));
  PressFocusedButtonOnEnter(dialog);
}

void MakeBroadcastTimeoutDialogAccessible(QDialog& dialog) {
  const auto find = [&dialog](const char* name) {
    return dialog.findChild<QWidget*>(QString::fromLatin1(name));
  };
  LinkLabel(dialog, QStringLiteral("Broadcast Timeout:"), find("timeoutEdit"));
  LinkLabel(dialog, QStringLiteral("Max Correction:"), find("maxCorrectionEdit"));
  NameList(dialog.findChild<QComboBox*>(QStringLiteral("timeoutUnitCombo")),
           QStringLiteral("Broadcast Timeout unit"));
  NameList(dialog.findChild<QComboBox*>(QStringLiteral("maxCorrectionUnitCombo")),
           QStringLiteral("Max Correction unit"));
  PressFocusedButtonOnEnter(dialog);
}

}  // namespace quorvane
