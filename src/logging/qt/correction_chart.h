#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "logging/correction_history.h"

namespace quorvane {

// The corrections of one source with one outcome, in log order.
struct ChartSeries {
  uint16_t source = 0;
  bool success = true;
  std::vector<int64_t> time;
  std::vector<double> correction;
  std::vector<uint32_t> entry;  // index into the history's entries
};

// Every correction against its local date and time, a zero line, the running sum of the
// successful ones on a right-hand axis with the drift fit over it, and a legend. Drag
// across the plot to zoom to a range; from the keyboard, + and - zoom about the centre, the
// left and right arrows pan, and Home shows the whole span.
class CorrectionChart : public QWidget {
  Q_OBJECT

 public:
  explicit CorrectionChart(QWidget* parent = nullptr);

  // The history must outlive the chart.
  void SetData(const CorrectionHistory& history, RunningSum sum, DriftFit fit);
  void SetRange(int64_t from, int64_t to);
  void ShowWholeSpan();
  // Shows `factor` times the span shown, about its centre, within the whole span.
  void Zoom(double factor);
  // Moves the range by `share` of its span, within the whole span.
  void Pan(double share);
  int64_t From() const { return from_; }
  int64_t To() const { return to_; }

  const std::vector<ChartSeries>& Series() const { return series_; }
  // Points drawn per series after reduction, in the order of Series().
  std::vector<size_t> DrawnCounts() const;
  // The rows of the legend, top to bottom.
  QStringList LegendTexts() const;
  // The tooltip of the drawn point nearest to pos, or empty when none is close.
  QString ToolTipAt(QPoint pos) const;

  QSize sizeHint() const override { return {900, 520}; }

 signals:
  void rangeChanged();

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QRect ComputePlotRect() const;
  QRect PlotRect() const { return plot_; }
  void Reduce();
  void FitValueRanges();
  double XOf(int64_t t) const;
  double YOf(double v) const;
  double SumYOf(double v) const;
  int64_t TimeAt(double x) const;
  void SetClampedRange(int64_t from, int64_t to);
  void DescribeRange();
  void DrawTimeAxis(class QPainter& p) const;
  void DrawValueAxes(class QPainter& p) const;
  void DrawPoints(class QPainter& p) const;
  void DrawRunningSum(class QPainter& p) const;
  void DrawLegend(class QPainter& p) const;

  const CorrectionHistory* history_ = nullptr;
  std::vector<ChartSeries> series_;
  std::vector<std::vector<uint32_t>> kept_;  // per series, indices into it
  RunningSum sum_;
  std::vector<uint32_t> sumKept_;
  DriftFit fit_;
  int64_t first_ = 0, last_ = 0;  // the whole span
  int64_t from_ = 0, to_ = 0;     // the range shown
  double low_ = -1, high_ = 1;    // corrections axis
  double sumLow_ = -1, sumHigh_ = 1;
  QRect plot_;
  int dragStart_ = -1, dragNow_ = -1;
};

}  // namespace quorvane
