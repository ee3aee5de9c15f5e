#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "base/app_settings.h"
#include "logging/correction_history.h"
#include "ports/message_boxes.h"
#include "ui/command_registry.h"

class QLabel;

namespace quorvane {

class CorrectionChart;

inline constexpr const char* kCorrectionHistoryTitle = "Correction History";
inline constexpr const char* kImageNotSavedText = "The image could not be saved: %s";

// Asks where to save the chart; an empty text means the user cancelled.
using ImagePathQuestion = std::function<QString(QWidget* parent)>;

// Every correction in the log and its backups as a chart, with the clock's drift worked out
// from them. The files are read once, when the window opens.
class CCorrectionHistoryWindow : public QDialog {
  Q_OBJECT

 public:
  CCorrectionHistoryWindow(const std::string& logPath, MessageBoxes& boxes,
                           QWidget* parent = nullptr, ImagePathQuestion askPath = {});
  ~CCorrectionHistoryWindow() override;

  // Writes the chart as a PNG; false (after telling the user) when it could not be written.
  bool SaveImage(const QString& path);
  void OnSaveImage();

  const CorrectionHistory& History() const { return history_; }
  const DriftFit& Drift() const { return fit_; }
  CorrectionChart& Chart() const { return *chart_; }

 private:
  QString SummaryText() const;

  MessageBoxes& boxes_;
  ImagePathQuestion askPath_;
  CorrectionHistory history_;
  DriftFit fit_;
  CorrectionChart* chart_ = nullptr;
  QLabel* drift_ = nullptr;
};

// Runs the window for the command of its menu item.
void RegisterCorrectionHistoryCommand(CommandRegistry& commands, QWidget* parent,
                                      const AppSettings& settings, MessageBoxes& boxes);

}  // namespace quorvane
