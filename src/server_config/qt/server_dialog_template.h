#pragma once

class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace quorvane {

// One test-results panel: the status and the three travel-time fields.
struct TestPanel {
  QPushButton* testButton;
  QGroupBox* group;
  QLineEdit* status;
  QLineEdit* request;
  QLineEdit* processing;
  QLineEdit* response;
};

// The controls of the Server Configuration dialog.
struct ServerDialogControls {
  QPushButton* ok;
  QPushButton* cancel;
  QLineEdit* primary;
  QLineEdit* intervalCount;
  QComboBox* intervalUnit;
  QLineEdit* correctionCount;
  QComboBox* correctionUnit;
  TestPanel primaryPanel;
  QLineEdit* secondary;
  TestPanel secondaryPanel;
  QLineEdit* serverInUse;
  QPushButton* swap;
  QComboBox* standardList;
  QComboBox* customList;
  QPushButton* makePrimary;
  QPushButton* makeSecondary;
  QLineEdit* newCustom;
  QPushButton* addCustom;
  QPushButton* removeCustom;
  QCheckBox* notify;
};

// Makes every control at its place in dialog units, in tab order, and sizes the dialog.
ServerDialogControls BuildServerDialogTemplate(QDialog& dialog);

}  // namespace quorvane
