#include "server_config/qt/server_dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "platform/qt/dialog_units.h"
#include "server_config/qt/dialog_access.h"
#include "server_config/qt/server_field_validator.h"

namespace quorvane {
namespace {

// The dialog was laid out for a 10-point sans-serif font; Arial's metric twin stands in.
constexpr int kTemplatePoints = 10;

// Places controls in the order they are made, which is also their tab order.
class Placer {
 public:
  explicit Placer(QDialog& dialog) : dialog_(dialog) {}

  template <typename W>
  W* Place(W* widget, const char* name, int x, int y, int w, int h) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(DialogUnitsToPixels(dialog_.fontMetrics(), x, y, w, h));
    return widget;
  }
  QPushButton* Button(const char* name, const char* text, int x, int y, int w, int h) {
    auto* button = Place(new QPushButton(QString::fromUtf8(text), &dialog_), name, x, y, w, h);
    button->setAutoDefault(false);
    return button;
  }
  QLineEdit* Field(const char* name, int x, int y, int w, int h) {
    return Place(new QLineEdit(&dialog_), name, x, y, w, h);
  }
  QLineEdit* ReadOnly(const char* name, int x, int y, int w, int h) {
    QLineEdit* field = Field(name, x, y, w, h);
    // Read-only, yet in the tab order at its template place, so results can be read.
    field->setReadOnly(true);
    return field;
  }
  QLineEdit* Digits(const char* name, int x, int y, int w, int h) {
    QLineEdit* field = Field(name, x, y, w, h);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    return field;
  }
  // A drop-down list: picked from, never typed into. The height given is the closed box's.
  QComboBox* List(const char* name, int x, int y, int w) {
    return Place(new QComboBox(&dialog_), name, x, y, w, 12);
  }
  QLabel* Text(const char* name, const char* text, int x, int y, int w, int h) {
    auto* label = Place(new QLabel(QString::fromUtf8(text), &dialog_), name, x, y, w, h);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
  }
  QGroupBox* Group(const char* name, int x, int y, int w, int h) {
    return Place(new QGroupBox(QStringLiteral("Test Results"), &dialog_), name, x, y, w, h);
  }

 private:
  QDialog& dialog_;
};

void FillUnits(QComboBox* list) {
  list->addItems(
      {QStringLiteral("Hour(s)"), QStringLiteral("Minute(s)"), QStringLiteral("Second(s)")});
}

}  // namespace

ServerDialogControls BuildServerDialogTemplate(QDialog& dialog) {
  UseTemplateFont(dialog, kTemplatePoints);
  dialog.setFixedSize(DialogUnitsToPixels(dialog.fontMetrics(), 0, 0, 307, 276).size());
  Placer p(dialog);
  ServerDialogControls c{};
  c.ok = p.Button("okButton", "OK", 262, 2, 38, 11);
  c.ok->setDefault(true);
  c.cancel = p.Button("cancelButton", "Cancel", 262, 27, 38, 11);
  c.primary = p.Field("primaryServerEdit", 12, 59, 115, 12);
  c.primary->setValidator(new ServerFieldValidator(c.primary));
  c.intervalCount = p.Digits("intervalCountEdit", 179, 9, 18, 12);
  c.intervalUnit = p.List("intervalUnitList", 200, 9, 46);
  c.correctionCount = p.Digits("correctionCountEdit", 179, 25, 18, 12);
  c.correctionUnit = p.List("correctionUnitList", 200, 25, 46);
  p.Text("primaryServerLabel", "Primary SNTP Server (URL or IP):", 13, 49, 107, 10);
  TestPanel& pp = c.primaryPanel;
  pp.testButton = p.Button("testPrimaryButton", "Test Primary", 45, 75, 50, 14);
  pp.group = p.Group("primaryResultsGroup", 7, 93, 127, 75);
  pp.status = p.ReadOnly("primaryStatusField", 50, 105, 42, 12);
  p.Text("primaryRequestLabel", "Request Travel Time:", 17, 126, 71, 8);
  p.Text("primaryProcessingLabel", "Server Processing Time:", 17, 139, 78, 8);
  p.Text("primaryResponseLabel", "Response Travel Time:", 17, 152, 75, 8);
  pp.request = p.ReadOnly("primaryRequestField", 95, 123, 33, 12);
  pp.processing = p.ReadOnly("primaryProcessingField", 95, 136, 33, 12);
  pp.response = p.ReadOnly("primaryResponseField", 95, 149, 33, 12);
  p.Text("intervalLabel", "Sync Interval:", 135, 12, 41, 8);
  p.Text("correctionLabel", "Max Correction:", 129, 28, 47, 8);
  c.secondary = p.Field("secondaryServerEdit", 179, 59, 115, 12);
  p.Text("secondaryServerLabel", "Secondary SNTP Server (URL or IP):", 179, 49, 120, 8);
  TestPanel& sp = c.secondaryPanel;
  sp.testButton = p.Button("testSecondaryButton", "Test Secondary", 208, 75, 55, 14);
  sp.group = p.Group("secondaryResultsGroup", 172, 92, 127, 77);
  sp.status = p.ReadOnly("secondaryStatusField", 215, 105, 40, 12);
  p.Text("secondaryRequestLabel", "Request Travel Time:", 182, 126, 69, 8);
  p.Text("secondaryProcessingLabel", "Server Processing Time:", 182, 139, 76, 8);
  p.Text("secondaryResponseLabel", "Response Travel Time:", 182, 153, 72, 8);
  sp.request = p.ReadOnly("secondaryRequestField", 260, 123, 33, 12);
  sp.processing = p.ReadOnly("secondaryProcessingField", 260, 136, 33, 12);
  sp.response = p.ReadOnly("secondaryResponseField", 260, 149, 33, 12);
  p.Text("serverInUseLabel", "Server In Use: ", 13, 11, 45, 8);
  c.serverInUse = p.ReadOnly("serverInUseField", 58, 9, 39, 12);
  c.swap = p.Button("swapButton", "<-- Swap -->", 131, 58, 43, 14);
  c.standardList = p.List("standardServerList", 7, 208, 115);
  p.Text("standardServersLabel", "Standard Servers", 37, 196, 54, 8);
  c.customList = p.List("customServerList", 185, 208, 115);
  p.Text("customServersLabel", "Custom Servers", 220, 196, 49, 8);
  c.makePrimary = p.Button("makePrimaryButton", "Make Primary", 125, 207, 57, 14);
  c.makeSecondary = p.Button("makeSecondaryButton", "Make Secondary", 125, 225, 57, 14);
  c.newCustom = p.Field("newCustomServerEdit", 91, 177, 115, 12);
  p.Text("newCustomServerLabel", "Enter a new Custom Server:", 7, 179, 83, 8);
  c.addCustom = p.Button("addCustomButton", "Add To Custom Servers", 211, 176, 89, 14);
  c.removeCustom = p.Button("removeSelectionButton", "Remove The Selection", 203, 231, 77, 14);
  c.notify = p.Place(new QCheckBox(QStringLiteral("Notify user if either server fails."), &dialog),
                     "notifyCheckBox", 13, 27, 105, 10);
  FillUnits(c.intervalUnit);
  FillUnits(c.correctionUnit);
  MakeServerDialogAccessible(dialog, c);
  return c;
}

}  // namespace quorvane
