#include "logging/qt/correction_history_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "logging/qt/correction_chart.h"
#include "ui/command_ids.h"
#include "ui/dialog_keys.h"

namespace quorvane {
namespace {

QString AskImagePath(QWidget* parent) {
  return QFileDialog::getSaveFileName(parent, "Save Image", "correction-history.png",
                                      "PNG images (*.png)");
}

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// "1 file", "2 files".
QString Counted(int64_t count, const char* one, const char* many) {
  return QString("%1 %2").arg(count).arg(count == 1 ? one : many);
}

}  // namespace

CCorrectionHistoryWindow::CCorrectionHistoryWindow(const std::string& logPath, MessageBoxes& boxes,
                                                   QWidget* parent, ImagePathQuestion askPath)
    : QDialog(parent),
      boxes_(boxes),
      askPath_(askPath ? std::move(askPath) : ImagePathQuestion(AskImagePath)),
      history_(ReadCorrectionHistory(logPath)) {
  setObjectName("correctionHistoryWindow");
  setWindowTitle(kCorrectionHistoryTitle);
  setSizeGripEnabled(true);
  RunningSum sum = SuccessRunningSum(history_.entries);
  fit_ = FitDrift(sum);

  chart_ = new CorrectionChart(this);
  chart_->SetData(history_, std::move(sum), fit_);
  drift_ = new QLabel(QString::fromStdString(DriftText(fit_)), this);
  drift_->setObjectName("driftText");
  drift_->setWordWrap(true);
  drift_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* summary = new QLabel(SummaryText(), this);
  summary->setObjectName("historySummary");
  summary->setWordWrap(true);

  QPushButton* whole = Button("&Whole Span", "wholeSpanButton", this);
  QPushButton* save = Button("Save Image...", "saveImageButton", this);
  QPushButton* close = Button("Close", "closeButton", this);
  close->setDefault(true);
  connect(whole, &QPushButton::clicked, chart_, &CorrectionChart::ShowWholeSpan);
  connect(save, &QPushButton::clicked, this, &CCorrectionHistoryWindow::OnSaveImage);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(new QLabel("Drag across the chart, or press + and -, to zoom in.", this));
  buttons->addStretch(1);
  buttons->addWidget(whole);
  buttons->addWidget(save);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(chart_, 1);
  layout->addWidget(drift_);
  layout->addWidget(summary);
  layout->addLayout(buttons);
  PressFocusedButtonOnEnter(*this);
}

CCorrectionHistoryWindow::~CCorrectionHistoryWindow() = default;

QString CCorrectionHistoryWindow::SummaryText() const {
  QString text =
      QString("%1 from %2.")
          .arg(Counted(static_cast<int64_t>(history_.entries.size()), "entry", "entries"),
               Counted(history_.filesRead, "file", "files"));
  if (history_.skippedLines > 0) {
    text += QString(" %1 skipped.")
                .arg(Counted(history_.skippedLines, "line that is not an entry was",
                             "lines that are not entries were"));
  }
  if (history_.filesUnreadable > 0) {
    text += QString(" %1 not be read.")
                .arg(Counted(history_.filesUnreadable, "file could", "files could"));
  }
  return text;
}

bool CCorrectionHistoryWindow::SaveImage(const QString& path) {
  if (chart_->grab().save(path, "PNG")) return true;
  std::string text = kImageNotSavedText;
  text.replace(text.find("%s"), 2, path.toStdString());
  boxes_.Show(ApplicationBox(text));
  return false;
}

void CCorrectionHistoryWindow::OnSaveImage() {
  const QString path = askPath_(this);
  if (!path.isEmpty()) SaveImage(path);
}

void RegisterCorrectionHistoryCommand(CommandRegistry& commands, QWidget* parent,
                                      const AppSettings& settings, MessageBoxes& boxes) {
  commands.Register(cmd::kCorrectionHistory, [parent, &settings, &boxes] {
    CCorrectionHistoryWindow window(settings.LogFilePath, boxes, parent);
    window.exec();
  });
}

}  // namespace quorvane
