#include "server_config/qt/broadcast_timeout_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "base/settings_table.h"
#include "platform/qt/dialog_units.h"
#include "server_config/qt/dialog_access.h"
#include "sntp/sntp_engine.h"

namespace quorvane {
namespace {

constexpr int kDialogWidth = 263;
constexpr int kDialogHeight = 132;
constexpr std::string_view kUnits[] = {kUnitHours, kUnitMinutes, kUnitSeconds};

struct StaticText {
  const char* text;
  int x, y, w, h;
};

constexpr StaticText kStaticTexts[] = {
    {"This program cannot test for the presence of a broadcasting SNTP server.", 15, 80, 228, 8},
    {"The user must make sure that such a server exists", 15, 93, 156, 8},
    {"and is broadcasting often enough for his requirements.", 15, 106, 171, 8},
    {"Broadcast Timeout:", 15, 20, 62, 8},
    {"Max Correction:", 15, 36, 50, 8},
};

// The template's 9-point font; where it is not installed, Arial's metric twin, whose widths
// are near enough to keep every text inside its rectangle.
constexpr int kTemplatePoints = 9;
constexpr const char* kTemplateFace = "Microsoft Sans Serif";

QComboBox* UnitList(QDialog& dialog, const char* name, int x, int y, int w, int h) {
  auto* list = PlaceInDialogUnits(dialog, new QComboBox(&dialog), name, x, y, w, h);
  for (std::string_view unit : kUnits) {
    list->addItem(QString::fromUtf8(unit.data(), static_cast<int>(unit.size())));
  }
  // A drop-down list's rectangle includes its open list; closed it is one line high.
  list->resize(list->width(), list->sizeHint().height());
  return list;
}

// The entry of the stored unit when it is exactly "Minute(s)" or "Second(s)", else "Hour(s)".
void SelectUnit(QComboBox* list, const std::string& unit) {
  int index = 0;
  if (unit == kUnitMinutes) index = 1;
  if (unit == kUnitSeconds) index = 2;
  list->setCurrentIndex(index);
}

}  // namespace

std::optional<int32_t> DecimalPrefix(const QString& text) {
  const std::string s = text.toStdString();
  size_t pos = s.find_first_not_of(" \t\n\v\f\r");
  if (pos == std::string::npos) return std::nullopt;
  const bool negative = s[pos] == '-';
  if (s[pos] == '-' || s[pos] == '+') ++pos;
  const size_t first = pos;
  int64_t value = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    value = value * 10 + (s[pos++] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (pos == first) return std::nullopt;
  value = negative ? -value : value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

CBroadcastTimeoutDlg::CBroadcastTimeoutDlg(BroadcastTimeoutContext context, QWidget* parent)
    : QDialog(parent), ctx_(context) {
  setWindowTitle(QString::fromUtf8(kBroadcastTimeoutTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseTemplateFont(*this, kTemplatePoints, kTemplateFace);
  setFixedSize(DialogUnitsToPixels(fontMetrics(), 0, 0, kDialogWidth, kDialogHeight).size());
  BuildControls();
  OnInitDialog();
}

void CBroadcastTimeoutDlg::BuildControls() {
  QDialog& d = *this;
  for (const StaticText& t : kStaticTexts) {
    PlaceInDialogUnits(d, new QLabel(QString::fromUtf8(t.text), this), "", t.x, t.y, t.w, t.h);
  }
  // Made in the template's order, which is the tab order.
  ok_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("OK"), this), "okButton", 206, 7, 50,
                           14);
  ok_->setDefault(true);
  cancel_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("Cancel"), this), "cancelButton",
                               206, 33, 50, 14);
  timeout_ = PlaceInDialogUnits(d, new QLineEdit(this), "timeoutEdit", 80, 18, 18, 12);
  timeout_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), timeout_));
  restart_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("Restart the Timeout"), this),
                                "restartTimeoutButton", 15, 57, 80, 14);
  maxCorrection_ = PlaceInDialogUnits(d, new QLineEdit(this), "maxCorrectionEdit", 80, 34, 18, 12);
  timeoutUnit_ = UnitList(d, "timeoutUnitCombo", 101, 18, 46, 38);
  maxCorrectionUnit_ = UnitList(d, "maxCorrectionUnitCombo", 101, 34, 46, 44);
  for (QPushButton* b : {cancel_, restart_}) b->setAutoDefault(false);
  const QList<QWidget*> order = {
      ok_, cancel_, timeout_, restart_, maxCorrection_, timeoutUnit_, maxCorrectionUnit_};
  for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);

  connect(ok_, &QPushButton::clicked, this, &CBroadcastTimeoutDlg::OnOK);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  // Stands even if the dialog is then cancelled.
  connect(restart_, &QPushButton::clicked, this, [this] { ctx_.BroadcastTickCount = 0; });
  MakeBroadcastTimeoutDialogAccessible(*this);
}

void CBroadcastTimeoutDlg::OnInitDialog() {
  const AppSettings& s = ctx_.settings;
  timeout_->setText(QString::number(s.Broadcast_Timeout));
  maxCorrection_->setText(QString::number(s.Broadcast_Max_Correction));
  SelectUnit(timeoutUnit_, s.Broadcast_Timeout_Unit);
  SelectUnit(maxCorrectionUnit_, s.Broadcast_Max_Correction_Unit);
  ok_->setFocus();
}

void CBroadcastTimeoutDlg::OnOK() {
  AppSettings& s = ctx_.settings;
  SettingsStore& store = ctx_.store;
  if (const auto n = DecimalPrefix(timeout_->text())) s.Broadcast_Timeout = *n;
  settings::Save(store, s, settings::Broadcast_Timeout);
  s.Broadcast_Timeout_Unit = timeoutUnit_->currentText().toStdString();
  settings::Save(store, s, settings::Broadcast_Timeout_Unit);
  if (const auto n = DecimalPrefix(maxCorrection_->text())) s.Broadcast_Max_Correction = *n;
  settings::Save(store, s, settings::Broadcast_Max_Correction);
  s.Broadcast_Max_Correction_Unit = maxCorrectionUnit_->currentText().toStdString();
  settings::Save(store, s, settings::Broadcast_Max_Correction_Unit);
  s.RecomputeCorrectionLimit(ctx_.boxes);
  s.RecomputeBroadcastTimeout();
  // Listen mode about to start counts from zero; listen mode already running goes on.
  if (s.Socket_Mode == kPollMode) ctx_.BroadcastTickCount = 0;
  QDialog::accept();
}

void RunListenModeCommand(QWidget* parent, SntpEngine& engine, BroadcastTimeoutContext context) {
  CBroadcastTimeoutDlg dialog(context, parent);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  engine.Listen().ListenModeCommand(accepted, context.store);
}

CommandRegistry::Handler ListenModeHandler(QWidget* parent, SntpEngine& engine,
                                           AppSettings& settings, SettingsStore& store,
                                           MessageBoxes& boxes) {
  return [parent, &engine, &settings, &store, &boxes] {
    uint32_t& count = engine.MutableState().BroadcastTickCount;
    RunListenModeCommand(parent, engine, {settings, store, boxes, count});
  };
}

}  // namespace quorvane
