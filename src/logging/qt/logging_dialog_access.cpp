#include "logging/qt/logging_dialog_access.h"

#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
#include <QToolButton>

#include "ui/accessibility.h"
#include "ui/dialog_keys.h"

namespace quorvane {
namespace {

// Fields and lists with the text of the label beside them.
constexpr std::pair<const char*, const char*> kLabelled[] = {
    {"logSizeEdit", "Current size of log file:"},
    {"sizeLimitEdit", "Mega Bytes"},
    {"backupsEdit", "Number of log file backups to keep:"},
    {"firstEntryEdit", "First log entry at"},
    {"lastEntryEdit", "Last log entry at"},
    {"correctionCountEdit", "Number of corrections:"},
    {"averageEdit", "Average correction:"},
    {"maximumEdit", "Maximum correction:"},
    {"maxPositiveEdit", "Maximum positive correction:"},
    {"maxNegativeEdit", "Maximum negative correction:"},
    {"minimumEdit", "Minimum correction:"},
    {"successCountEdit", "Number of successful polls:"},
    {"failureCountEdit", "Number of failed polls:"},
    {"sourceList", "Servers Used:"},
};

constexpr const char* kTimeLimitName = "Time limit";
constexpr const char* kBackupsName = "Number of log file backups to keep";

template <typename W>
W* Find(QDialog& dialog, const char* name) {
  return dialog.findChild<W*>(QString::fromLatin1(name));
}

// The arrows of an up-down control say what they do to which field.
void NameArrows(QDialog& dialog, const char* upDownName, const char* fieldName) {
  auto* upDown = Find<QWidget>(dialog, upDownName);
  if (upDown == nullptr) return;
  const QString field = QString::fromLatin1(fieldName);
  const std::pair<const char*, const char*> arrows[] = {{"up", "Increase "}, {"down", "Decrease "}};
  for (const auto& [name, verb] : arrows) {
    if (auto* arrow = upDown->findChild<QToolButton*>(QString::fromLatin1(name))) {
      arrow->setAccessibleName(QString::fromLatin1(verb) + field);
    }
  }
}

}  // namespace

void MakeLoggingDialogAccessible(QDialog& dialog) {
  for (const auto& [name, label] : kLabelled) {
    LinkLabel(dialog, QString::fromUtf8(label), Find<QWidget>(dialog, name));
  }
  // The size field's label gives only the unit; the time field has none beside it.
  Find<QWidget>(dialog, "sizeLimitEdit")
      ->setAccessibleName(QStringLiteral("Size limit in Mega Bytes"));
  Find<QWidget>(dialog, "timeLimitEdit")->setAccessibleName(QString::fromLatin1(kTimeLimitName));
  NameList(Find<QComboBox>(dialog, "timeUnitCombo"), QStringLiteral("Time limit unit"));
  // A list view takes no name from its label, nor the relation.
  Find<QWidget>(dialog, "sourceList")->setAccessibleName(QStringLiteral("Servers Used"));
  NameArrows(dialog, "timeLimitUpDown", kTimeLimitName);
  NameArrows(dialog, "backupsUpDown", kBackupsName);
  MakeRadioGroup({Find<QRadioButton>(dialog, "noLimitRadio"),
                  Find<QRadioButton>(dialog, "sizeLimitRadio"),
                  Find<QRadioButton>(dialog, "timeLimitRadio")});
  PressFocusedButtonOnEnter(dialog);
}

}  // namespace quorvane
