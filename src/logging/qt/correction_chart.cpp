#include "logging/qt/correction_chart.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "base/local_time.h"
#include "logging/log_entry.h"
#include "ui/accessibility.h"

namespace quorvane {
namespace {

constexpr int kLeft = 80, kRight = 80, kTop = 12, kAxisBelow = 36, kLegendRow = 18;
constexpr int kNearPixels = 8;
// A single instant is shown in an hour around it.
constexpr int64_t kSingleInstantPad = 1800;
// The narrowest range the keys zoom to: ten minutes, where the finest ticks still have room.
constexpr int64_t kNarrowestSpan = 600;
constexpr double kPanShare = 0.1;
constexpr double kZoomFactor = 2.0;

QString LocalText(int64_t t) {
  const std::optional<std::tm> local = ToLocalCalendarAnyYear(t);
  if (!local) return {};
  return QString::asprintf("%04d/%02d/%02d %02d:%02d", local->tm_year + 1900, local->tm_mon + 1,
                           local->tm_mday, local->tm_hour, local->tm_min);
}

void Pad(double& low, double& high) {
  if (high - low < 1e-9) {
    low -= 0.5;
    high += 0.5;
  }
  const double pad = (high - low) * 0.06;
  low -= pad;
  high += pad;
}

}  // namespace

CorrectionChart::CorrectionChart(QWidget* parent) : QWidget(parent) {
  setObjectName("correctionChart");
  setMouseTracking(false);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setMinimumSize(480, 300);
  setFocusPolicy(Qt::StrongFocus);
  SetAccessibleRole(this, QAccessible::Chart);
}

void CorrectionChart::SetData(const CorrectionHistory& history, RunningSum sum, DriftFit fit) {
  history_ = &history;
  sum_ = std::move(sum);
  fit_ = fit;
  series_.clear();
  std::vector<int> slot(history.sources.size() * 2, -1);
  bool any = false;
  for (uint32_t i = 0; i < history.entries.size(); ++i) {
    const HistoryEntry& e = history.entries[i];
    int& s = slot[e.source * 2u + (e.Success() ? 0u : 1u)];
    if (s < 0) {
      s = static_cast<int>(series_.size());
      series_.push_back({e.source, e.Success(), {}, {}, {}});
    }
    ChartSeries& series = series_[static_cast<size_t>(s)];
    series.time.push_back(e.time);
    series.correction.push_back(e.correction);
    series.entry.push_back(i);
    first_ = any ? std::min(first_, e.time) : e.time;
    last_ = any ? std::max(last_, e.time) : e.time;
    any = true;
  }
  std::sort(series_.begin(), series_.end(), [](const ChartSeries& a, const ChartSeries& b) {
    return a.source != b.source ? a.source < b.source : a.success > b.success;
  });
  setAccessibleName(QString::fromStdString(DriftText(fit_)));
  ShowWholeSpan();
}

void CorrectionChart::ShowWholeSpan() {
  const int64_t pad = last_ == first_ ? kSingleInstantPad : 0;
  SetRange(first_ - pad, last_ + pad);
}

void CorrectionChart::SetRange(int64_t from, int64_t to) {
  from_ = from;
  to_ = std::max(to, from + 1);
  Reduce();
  DescribeRange();
  update();
  emit rangeChanged();
}

void CorrectionChart::SetClampedRange(int64_t from, int64_t to) {
  const int64_t pad = last_ == first_ ? kSingleInstantPad : 0;
  const int64_t wholeFrom = first_ - pad;
  const int64_t wholeTo = last_ + pad;
  const int64_t span = std::min(std::max(to - from, kNarrowestSpan), wholeTo - wholeFrom);
  const int64_t start = std::clamp(from, wholeFrom, wholeTo - span);
  SetRange(start, start + span);
}

void CorrectionChart::Zoom(double factor) {
  const int64_t span = to_ - from_;
  const int64_t centre = from_ + span / 2;
  const auto wanted = static_cast<int64_t>(std::llround(static_cast<double>(span) * factor));
  const int64_t start = centre - wanted / 2;
  SetClampedRange(start, start + wanted);
}

void CorrectionChart::Pan(double share) {
  const double by = static_cast<double>(to_ - from_) * share;
  const int64_t step = std::max<int64_t>(1, std::llround(std::fabs(by)));
  const int64_t shift = by < 0 ? -step : step;
  SetClampedRange(from_ + shift, to_ + shift);
}

void CorrectionChart::DescribeRange() {
  size_t shown = 0;
  size_t all = 0;
  for (const ChartSeries& s : series_) {
    all += s.time.size();
    shown += static_cast<size_t>(std::count_if(
        s.time.begin(), s.time.end(), [this](int64_t t) { return t >= from_ && t <= to_; }));
  }
  setAccessibleDescription(QString("%1 of %2 corrections shown, from %3 to %4.")
                               .arg(shown)
                               .arg(all)
                               .arg(LocalText(from_), LocalText(to_)));
}

void CorrectionChart::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:  // + without Shift on most layouts
      Zoom(1.0 / kZoomFactor);
      break;
    case Qt::Key_Minus:
      Zoom(kZoomFactor);
      break;
    case Qt::Key_Left:
      Pan(-kPanShare);
      break;
    case Qt::Key_Right:
      Pan(kPanShare);
      break;
    case Qt::Key_Home:
      ShowWholeSpan();
      break;
    default:
      QWidget::keyPressEvent(e);
      return;
  }
  e->accept();
}

QRect CorrectionChart::ComputePlotRect() const {
  const int legendRows = static_cast<int>(LegendTexts().size() + 1) / 2;
  return QRect(kLeft, kTop, std::max(width() - kLeft - kRight, 10),
               std::max(height() - kTop - kAxisBelow - legendRows * kLegendRow - 8, 10));
}

void CorrectionChart::Reduce() {
  plot_ = ComputePlotRect();
  const int columns = plot_.width();
  kept_.clear();
  for (const ChartSeries& s : series_) {
    kept_.push_back(KeepColumnExtremes(s.time, s.correction, from_, to_, columns));
  }
  sumKept_ = KeepColumnExtremes(sum_.time, sum_.sum, from_, to_, columns);
  FitValueRanges();
}

void CorrectionChart::FitValueRanges() {
  low_ = high_ = 0.0;  // the zero line is always in view
  for (size_t s = 0; s < series_.size(); ++s) {
    for (const uint32_t i : kept_[s]) {
      low_ = std::min(low_, series_[s].correction[i]);
      high_ = std::max(high_, series_[s].correction[i]);
    }
  }
  Pad(low_, high_);
  bool any = false;
  for (const uint32_t i : sumKept_) {
    sumLow_ = any ? std::min(sumLow_, sum_.sum[i]) : sum_.sum[i];
    sumHigh_ = any ? std::max(sumHigh_, sum_.sum[i]) : sum_.sum[i];
    any = true;
  }
  if (!any) sumLow_ = sumHigh_ = 0.0;
  Pad(sumLow_, sumHigh_);
}

double CorrectionChart::XOf(int64_t t) const {
  const QRect r = PlotRect();
  return r.left() + static_cast<double>(t - from_) / static_cast<double>(to_ - from_) * r.width();
}

double CorrectionChart::YOf(double v) const {
  const QRect r = PlotRect();
  return r.bottom() - (v - low_) / (high_ - low_) * r.height();
}

double CorrectionChart::SumYOf(double v) const {
  const QRect r = PlotRect();
  return r.bottom() - (v - sumLow_) / (sumHigh_ - sumLow_) * r.height();
}

int64_t CorrectionChart::TimeAt(double x) const {
  const QRect r = PlotRect();
  const double share = std::clamp((x - r.left()) / r.width(), 0.0, 1.0);
  return from_ + static_cast<int64_t>(std::llround(share * static_cast<double>(to_ - from_)));
}

std::vector<size_t> CorrectionChart::DrawnCounts() const {
  std::vector<size_t> counts;
  for (const auto& k : kept_) counts.push_back(k.size());
  return counts;
}

QStringList CorrectionChart::LegendTexts() const {
  QStringList rows;
  if (history_ == nullptr) return rows;
  for (const std::string& source : history_->sources) rows << QString::fromStdString(source);
  rows << "Successful correction"
       << "Failed correction"
       << "Running sum of successful corrections (right axis)";
  if (fit_.enough) rows << "Drift fit";
  return rows;
}

QString CorrectionChart::ToolTipAt(QPoint pos) const {
  double best = kNearPixels * kNearPixels + 1;
  const HistoryEntry* found = nullptr;
  for (size_t s = 0; s < series_.size(); ++s) {
    for (const uint32_t i : kept_[s]) {
      const double dx = XOf(series_[s].time[i]) - pos.x();
      const double dy = YOf(series_[s].correction[i]) - pos.y();
      if (dx * dx + dy * dy < best) {
        best = dx * dx + dy * dy;
        found = &history_->entries[series_[s].entry[i]];
      }
    }
  }
  if (found == nullptr) return {};
  const QString status = found->status == 'S'   ? "S (success)"
                         : found->status == 'F' ? "F (failure)"
                                                : QString(QChar(found->status));
  return QString("%1/%2/%3 %4:%5:%6\nCorrection: %7 s\nSource: %8\nStatus: %9")
      .arg(found->date / 10000, 4, 10, QChar('0'))
      .arg(found->date / 100 % 100, 2, 10, QChar('0'))
      .arg(found->date % 100, 2, 10, QChar('0'))
      .arg(found->clock / 10000, 2, 10, QChar('0'))
      .arg(found->clock / 100 % 100, 2, 10, QChar('0'))
      .arg(found->clock % 100, 2, 10, QChar('0'))
      .arg(QString::fromStdString(FormatCorrection(found->correction)))
      .arg(QString::fromStdString(history_->sources[found->source]))
      .arg(status);
}

bool CorrectionChart::event(QEvent* e) {
  if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) update();
  if (e->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(e);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
      e->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(e);
}

void CorrectionChart::resizeEvent(QResizeEvent*) { Reduce(); }

void CorrectionChart::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !PlotRect().contains(e->position().toPoint())) return;
  dragStart_ = dragNow_ = e->position().toPoint().x();
}

void CorrectionChart::mouseMoveEvent(QMouseEvent* e) {
  if (dragStart_ < 0) return;
  dragNow_ = e->position().toPoint().x();
  update();
}

void CorrectionChart::mouseReleaseEvent(QMouseEvent* e) {
  if (dragStart_ < 0) return;
  const int a = std::min(dragStart_, e->position().toPoint().x());
  const int b = std::max(dragStart_, e->position().toPoint().x());
  dragStart_ = dragNow_ = -1;
  // A click is not a zoom: the range must be a few pixels wide.
  if (b - a >= 4) {
    SetRange(TimeAt(a), TimeAt(b));
  } else {
    update();
  }
}

}  // namespace quorvane
