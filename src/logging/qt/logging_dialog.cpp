#include "logging/qt/logging_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <optional>

#include "base/settings_table.h"
#include "logging/log_limits.h"
#include "logging/log_statistics.h"
#include "logging/qt/logging_dialog_access.h"
#include "logging/qt/source_list.h"
#include "logging/qt/up_down_control.h"
#include "logging/sync_log.h"
#include "platform/qt/dialog_units.h"
#include "ui/command_ids.h"

namespace quorvane {
namespace {

constexpr int kDialogWidth = 343;
constexpr int kDialogHeight = 268;
constexpr int kTimeNumberLow = 1;
constexpr int kTimeNumberHigh = 24;
constexpr int kBackupsLow = 0;
constexpr int kBackupsHigh = 9;
constexpr int kStatisticsLabelX = 187;
const char* const kUnits[] = {"Hours", "Days", "Weeks", "Months"};

struct FieldPlace {
  const char* name;
  int x, y, w, h;
  const char* label;
};

// In the order of LogStatisticsTexts as StatisticsTextList gives it.
constexpr FieldPlace kStatisticsFields[10] = {
    {"firstEntryEdit", 247, 57, 86, 14, "First log entry at"},
    {"lastEntryEdit", 247, 73, 86, 14, "Last log entry at"},
    {"correctionCountEdit", 285, 93, 47, 12, "Number of corrections:"},
    {"averageEdit", 285, 108, 47, 12, "Average correction:"},
    {"maximumEdit", 285, 123, 47, 12, "Maximum correction:"},
    {"maxPositiveEdit", 285, 138, 47, 12, "Maximum positive correction:"},
    {"maxNegativeEdit", 285, 153, 47, 12, "Maximum negative correction:"},
    {"minimumEdit", 285, 168, 47, 12, "Minimum correction:"},
    {"successCountEdit", 285, 183, 48, 12, "Number of successful polls:"},
    {"failureCountEdit", 285, 197, 48, 12, "Number of failed polls:"},
};

const std::string* StatisticsTextList(const LogStatisticsTexts& t, int i) {
  const std::string* list[10] = {
      &t.firstEntry,      &t.lastEntry,       &t.entryCount, &t.average,      &t.largest,
      &t.largestPositive, &t.largestNegative, &t.smallest,   &t.successCount, &t.failureCount};
  return list[i];
}

// The template's font is a 9-point sans serif laid out on Arial's metrics.
constexpr int kTemplatePoints = 9;

void PlaceLabel(QDialog& dialog, const char* text, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(text), &dialog);
  const QRect r = DialogUnitsToPixels(dialog.fontMetrics(), x, y, 0, 8);
  label->setGeometry(r.x(), r.y(), label->sizeHint().width(), r.height());
}

QLineEdit* ReadOnlyEdit(QDialog& dialog) {
  auto* edit = new QLineEdit(&dialog);
  edit->setReadOnly(true);
  return edit;
}

// "%d" of a field: blanks, an optional sign and digits; nothing when the text holds no
// number or one that does not fit, so the setting keeps its value.
std::optional<int32_t> FieldNumber(const QLineEdit* edit) {
  const std::string text = edit->text().trimmed().toStdString();
  size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) pos = 1;
  int64_t value = 0;
  const size_t digits = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (pos == digits) return std::nullopt;
  value = negative ? -value : value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

CLoggingDialog::CLoggingDialog(LoggingDialogContext context, QWidget* parent)
    : QDialog(parent), ctx_(context) {
  setWindowTitle(QString::fromUtf8(kLoggingDialogTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseTemplateFont(*this, kTemplatePoints);
  setFixedSize(DialogUnitsToPixels(fontMetrics(), 0, 0, kDialogWidth, kDialogHeight).size());
  BuildControls();
  SetTabOrder();
  MakeLoggingDialogAccessible(*this);
  OnInitDialog();
}

void CLoggingDialog::BuildControls() {
  QDialog& d = *this;
  ok_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("OK"), this), "okButton", 286, 7, 50,
                           14);
  ok_->setDefault(true);
  cancel_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("Cancel"), this), "cancelButton",
                               286, 33, 50, 14);
  logToFile_ = PlaceInDialogUnits(
      d, new QCheckBox(QStringLiteral("Record synchronizing events in the log file."), this),
      "logToFileCheck", 15, 15, 160, 10);
  logSize_ = PlaceInDialogUnits(d, ReadOnlyEdit(d), "logSizeEdit", 90, 33, 62, 12);
  PlaceLabel(d, "Current size of log file:", 15, 35);
  clear_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("Clear The Log"), this),
                              "clearLogButton", 15, 54, 57, 14);
  rotate_ = PlaceInDialogUnits(d, new QPushButton(QStringLiteral("Rotate The Logs"), this),
                               "rotateLogsButton", 87, 54, 66, 14);
  for (QPushButton* b : {clear_, rotate_, cancel_}) b->setAutoDefault(false);
  BuildLimitControls();
  BuildStatisticsFields();
  PlaceLabel(d, "Servers Used:", 15, 204);
  sources_ = PlaceInDialogUnits(d, new SourceList(this), "sourceList", 14, 216, 319, 45);

  connect(ok_, &QPushButton::clicked, this, &CLoggingDialog::OnOK);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(logToFile_, &QCheckBox::clicked, this, &CLoggingDialog::OnLoggingSwitch);
  connect(clear_, &QPushButton::clicked, this, [this] { ctx_.log.ClearLog(); });
  connect(rotate_, &QPushButton::clicked, this, [this] { ctx_.log.RotateLogs(); });
}

void CLoggingDialog::BuildLimitControls() {
  QDialog& d = *this;
  PlaceInDialogUnits(d, new QGroupBox(QStringLiteral("Log Limit"), this), "logLimitGroup", 15, 75,
                     43, 71);
  noLimit_ = PlaceInDialogUnits(d, new QRadioButton(QStringLiteral("None"), this), "noLimitRadio",
                                23, 90, 31, 10);
  sizeLimit_ = PlaceInDialogUnits(d, new QRadioButton(QStringLiteral("Size"), this),
                                  "sizeLimitRadio", 23, 109, 29, 10);
  sizeNumber_ = PlaceInDialogUnits(d, new QLineEdit(this), "sizeLimitEdit", 60, 105, 40, 14);
  sizeNumber_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), sizeNumber_));
  PlaceLabel(d, "Mega Bytes", 103, 109);
  timeLimit_ = PlaceInDialogUnits(d, new QRadioButton(QStringLiteral("Time"), this),
                                  "timeLimitRadio", 23, 130, 31, 10);
  timeNumber_ = PlaceInDialogUnits(d, ReadOnlyEdit(d), "timeLimitEdit", 60, 130, 25, 15);
  timeSpin_ = PlaceInDialogUnits(d, new UpDownControl(timeNumber_, this), "timeLimitUpDown", 85,
                                 125, 11, 21);
  timeUnit_ = PlaceInDialogUnits(d, new QComboBox(this), "timeUnitCombo", 97, 131, 66, 64);
  for (const char* unit : kUnits) timeUnit_->addItem(QString::fromUtf8(unit));
  timeUnit_->setCurrentIndex(-1);
  // A drop-down list's rectangle includes its open list; closed it is one line high.
  timeUnit_->resize(timeUnit_->width(), timeUnit_->sizeHint().height());
  backups_ = PlaceInDialogUnits(d, ReadOnlyEdit(d), "backupsEdit", 131, 151, 23, 14);
  backupsSpin_ =
      PlaceInDialogUnits(d, new UpDownControl(backups_, this), "backupsUpDown", 154, 150, 10, 14);
  PlaceLabel(d, "Number of log file backups to keep:", 15, 155);

  const std::pair<QRadioButton*, int32_t> radios[] = {
      {noLimit_, kNoLogLimit}, {sizeLimit_, kLogSizeLimit}, {timeLimit_, kLogTimeLimit}};
  for (const auto& [radio, type] : radios) {
    connect(radio, &QRadioButton::clicked, this, [this, type = type] { OnLimitRadio(type); });
  }
}

void CLoggingDialog::BuildStatisticsFields() {
  for (int i = 0; i < 10; ++i) {
    const FieldPlace& f = kStatisticsFields[i];
    statistics_[i] = PlaceInDialogUnits(*this, ReadOnlyEdit(*this), f.name, f.x, f.y, f.w, f.h);
    PlaceLabel(*this, f.label, kStatisticsLabelX, f.y + (f.h - 8) / 2);
  }
}

void CLoggingDialog::SetTabOrder() {
  QList<QWidget*> order = {ok_,         cancel_,   logToFile_, logSize_,    clear_,
                           rotate_,     noLimit_,  sizeLimit_, sizeNumber_, timeLimit_,
                           timeNumber_, timeUnit_, backups_};
  for (QLineEdit* field : statistics_) order.append(field);
  order.append(sources_);
  for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void CLoggingDialog::OnInitDialog() {
  logToFile_->setChecked(ctx_.settings.LogToFile != 0);
  for (QLineEdit* edit : {timeNumber_, backups_}) {
    edit->setFont(ctx_.display.SharedFont());
    edit->setTextMargins(2, 0, 0, 0);
  }
  timeSpin_->SetRange(kTimeNumberLow, kTimeNumberHigh);
  backupsSpin_->SetRange(kBackupsLow, kBackupsHigh);
  if (ctx_.settings.LogToFile != 0) {
    RefreshLimitControls();
  } else {
    DisableLimitControls();
  }
  ShowStatistics();
  ok_->setFocus();
}

void CLoggingDialog::ShowStatistics() {
  const LogStatisticsReport report = ReadLogStatistics(ctx_.settings.LogFilePath, ctx_.boxes);
  if (report.sizeBytes) logSize_->setText(QString::fromStdString(LogSizeText(*report.sizeBytes)));
  const LogStatisticsTexts texts = StatisticsTexts(report.stats);
  for (int i = 0; i < 10; ++i) {
    statistics_[i]->setText(QString::fromStdString(*StatisticsTextList(texts, i)));
    statistics_[i]->setCursorPosition(0);
  }
  QStringList rows;
  for (const std::string& row : texts.sourceRows) rows.append(QString::fromStdString(row));
  static_cast<SourceList*>(sources_)->SetRows(rows);
}

void CLoggingDialog::DisableLimitControls() {
  for (QWidget* w :
       std::initializer_list<QWidget*>{noLimit_, sizeLimit_, timeLimit_, sizeNumber_, timeNumber_,
                                       timeSpin_, timeUnit_, backups_, backupsSpin_}) {
    w->setEnabled(false);
  }
}

void CLoggingDialog::RefreshLimitControls() {
  const AppSettings& s = ctx_.settings;
  DisableLimitControls();
  for (QRadioButton* radio : {noLimit_, sizeLimit_, timeLimit_}) radio->setEnabled(true);
  if (s.Log_Limit_Type == kNoLogLimit) {
    noLimit_->setChecked(true);
  } else if (s.Log_Limit_Type == kLogSizeLimit) {
    sizeLimit_->setChecked(true);
    sizeNumber_->setEnabled(true);
    sizeNumber_->setText(QString::number(s.Log_Size_Limit_Number));
  } else if (s.Log_Limit_Type == kLogTimeLimit) {
    timeLimit_->setChecked(true);
    timeNumber_->setEnabled(true);
    timeNumber_->setText(QString::number(s.Log_Time_Limit_Number));
    timeSpin_->setEnabled(true);
    // A stored count outside 1 to 24 (0 is the default) shows as the nearest count the
    // arrows offer, and that is what OK saves: the field never shows a value that the
    // control cannot hold.
    timeSpin_->SetPosition(s.Log_Time_Limit_Number);
    timeUnit_->setEnabled(true);
    SelectUnit(s.Log_Time_Limit_Unit);
  }
  if (s.Log_Limit_Type == kLogSizeLimit || s.Log_Limit_Type == kLogTimeLimit) {
    backups_->setEnabled(true);
    backups_->setText(QString::number(s.Logs_To_Keep));
    backupsSpin_->setEnabled(true);
  }
}

void CLoggingDialog::SelectUnit(const std::string& unit) {
  const QString prefix = QString::fromStdString(unit);
  const int count = timeUnit_->count();
  // From "Weeks" onwards, then from the first item.
  for (int k = 0; k < count; ++k) {
    const int i = (2 + k) % count;
    if (timeUnit_->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
      timeUnit_->setCurrentIndex(i);
      return;
    }
  }
}

void CLoggingDialog::OnLimitRadio(int32_t type) {
  ctx_.settings.Log_Limit_Type = type;
  RefreshLimitControls();
}

void CLoggingDialog::OnLoggingSwitch(bool on) {
  if (on) {
    RefreshLimitControls();
  } else {
    DisableLimitControls();
  }
}

void CLoggingDialog::OnOK() {
  AppSettings& s = ctx_.settings;
  SettingsStore& store = ctx_.store;
  s.LogToFile = logToFile_->isChecked() ? 1 : 0;
  settings::Save(store, s, settings::LogToFile);
  if (s.LogToFile == 0) {
    QDialog::accept();
    return;
  }
  settings::Save(store, s, settings::Log_Limit_Type);
  if (s.Log_Limit_Type == kLogSizeLimit) {
    if (const auto n = FieldNumber(sizeNumber_)) s.Log_Size_Limit_Number = *n;
    settings::Save(store, s, settings::Log_Size_Limit_Number);
  }
  if (s.Log_Limit_Type == kLogTimeLimit) {
    if (const auto n = FieldNumber(timeNumber_)) s.Log_Time_Limit_Number = *n;
    settings::Save(store, s, settings::Log_Time_Limit_Number);
    s.Log_Time_Limit_Unit =
        timeUnit_->currentIndex() < 0 ? std::string() : timeUnit_->currentText().toStdString();
    settings::Save(store, s, settings::Log_Time_Limit_Unit);
  }
  if (s.Log_Limit_Type == kLogSizeLimit || s.Log_Limit_Type == kLogTimeLimit) {
    if (const auto n = FieldNumber(backups_)) s.Logs_To_Keep = *n;
    settings::Save(store, s, settings::Logs_To_Keep);
  }
  QDialog::accept();
}

void RegisterLoggingCommand(CommandRegistry& commands, QWidget* parent,
                            LoggingDialogContext context,
                            std::function<void(const std::string&)> showStatus) {
  commands.Register(cmd::kLogging, [parent, context, showStatus] {
    AppSettings& s = context.settings;
    const int32_t keep = s.Logs_To_Keep;
    const int32_t type = s.Log_Limit_Type;
    const int32_t size = s.Log_Size_Limit_Number;
    const int32_t time = s.Log_Time_Limit_Number;
    CLoggingDialog dialog(context, parent);
    if (dialog.exec() == QDialog::Accepted) {
      if (showStatus) showStatus(kLoggingSavedText);
      return;
    }
    s.Logs_To_Keep = keep;
    s.Log_Limit_Type = type;
    s.Log_Size_Limit_Number = size;
    s.Log_Time_Limit_Number = time;
  });
}

}  // namespace quorvane
