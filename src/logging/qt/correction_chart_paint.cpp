// The drawing of CorrectionChart, apart from its data and its mouse handling.

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "logging/history_axis.h"
#include "logging/qt/correction_chart.h"

namespace quorvane {
namespace {

constexpr int kLegendRow = 18;
const QColor kSourceColors[] = {QColor(31, 119, 180), QColor(44, 160, 44),  QColor(148, 103, 189),
                                QColor(255, 127, 14), QColor(23, 190, 207), QColor(140, 86, 75),
                                QColor(188, 189, 34), QColor(227, 119, 194)};
const QColor kFailureRing(214, 39, 40);
const QColor kSumColor(150, 150, 150);
const QColor kFitColor(20, 20, 20);
const QColor kGridColor(228, 228, 228);

QColor SourceColor(uint16_t source) { return kSourceColors[source % std::size(kSourceColors)]; }

double ValueStep(double range) {
  const double raw = range / 6;
  const double unit = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * unit >= raw) return m * unit;
  }
  return 10 * unit;
}

const QColor kOutcomeColor(90, 90, 90);  // the legend's success and failure, of any source

void DrawMarker(QPainter& p, QPointF at, QColor color, bool success) {
  if (success) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(at, 2.6, 2.6);
    return;
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kFailureRing, 1.4));
  p.drawEllipse(at, 4.5, 4.5);
  p.setPen(QPen(color, 1.6));
  p.drawLine(at + QPointF(-2.8, -2.8), at + QPointF(2.8, 2.8));
  p.drawLine(at + QPointF(-2.8, 2.8), at + QPointF(2.8, -2.8));
}

}  // namespace

void CorrectionChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().base());
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawValueAxes(p);
  DrawTimeAxis(p);
  DrawRunningSum(p);
  DrawPoints(p);
  DrawLegend(p);
  if (hasFocus()) {
    // The keys act on the plot, so the focus is shown around it.
    p.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(PlotRect().adjusted(-3, -3, 3, 3));
  }
  if (dragStart_ >= 0) {
    const QRect r = PlotRect();
    const QRect band(QPoint(std::min(dragStart_, dragNow_), r.top()),
                     QPoint(std::max(dragStart_, dragNow_), r.bottom()));
    p.fillRect(band, QColor(31, 119, 180, 50));
  }
}

void CorrectionChart::DrawTimeAxis(QPainter& p) const {
  const QRect r = PlotRect();
  const QFontMetrics fm(font());
  const auto width = [&fm](std::string_view label) {
    return fm.horizontalAdvance(
        QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
  };
  for (const AxisTick& tick : DateAxisTicks(from_, to_, r.width(), width)) {
    const double x = XOf(tick.time);
    p.setPen(kGridColor);
    p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    p.setPen(palette().color(QPalette::Text));
    const QString label = QString::fromStdString(tick.label);
    p.drawText(QPointF(x - fm.horizontalAdvance(label) / 2.0, r.bottom() + fm.height() + 2), label);
  }
  p.setPen(palette().color(QPalette::Text));
  p.drawRect(r);
}

void CorrectionChart::DrawValueAxes(QPainter& p) const {
  const QRect r = PlotRect();
  const QFontMetrics fm(font());
  const double step = ValueStep(high_ - low_);
  for (double v = std::ceil(low_ / step) * step; v <= high_; v += step) {
    const double y = YOf(v);
    p.setPen(kGridColor);
    p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    p.setPen(palette().color(QPalette::Text));
    const QString label = QString::number(std::fabs(v) < step / 2 ? 0.0 : v, 'g', 12) + " s";
    p.drawText(QPointF(r.left() - 6 - fm.horizontalAdvance(label), y + fm.ascent() / 2.0 - 1),
               label);
  }
  const double sumStep = ValueStep(sumHigh_ - sumLow_);
  p.setPen(kSumColor);
  for (double v = std::ceil(sumLow_ / sumStep) * sumStep; v <= sumHigh_; v += sumStep) {
    const QString label = QString::number(std::fabs(v) < sumStep / 2 ? 0.0 : v, 'g', 12) + " s";
    p.drawText(QPointF(r.right() + 6, SumYOf(v) + fm.ascent() / 2.0 - 1), label);
  }
  p.setPen(QPen(palette().color(QPalette::Text), 1.2));
  p.drawLine(QPointF(r.left(), YOf(0.0)), QPointF(r.right(), YOf(0.0)));
}

void CorrectionChart::DrawRunningSum(QPainter& p) const {
  const QRect r = PlotRect();
  p.save();
  p.setClipRect(r);
  p.setPen(QPen(kSumColor, 1.0));
  QPainterPath path;
  for (size_t k = 0; k < sumKept_.size(); ++k) {
    const QPointF at(XOf(sum_.time[sumKept_[k]]), SumYOf(sum_.sum[sumKept_[k]]));
    if (k == 0) {
      path.moveTo(at);
    } else {
      path.lineTo(at);
    }
  }
  p.drawPath(path);
  if (fit_.enough) {
    const double slope = fit_.secondsPerDay / 86400.0;
    const auto sumAt = [&](int64_t t) {
      return fit_.originSum + slope * static_cast<double>(t - fit_.originTime);
    };
    p.setPen(QPen(kFitColor, 1.6, Qt::DashLine));
    p.drawLine(QPointF(XOf(from_), SumYOf(sumAt(from_))), QPointF(XOf(to_), SumYOf(sumAt(to_))));
  }
  p.restore();
}

void CorrectionChart::DrawPoints(QPainter& p) const {
  p.save();
  p.setClipRect(PlotRect().adjusted(-5, -5, 5, 5));
  // Failures last, so a ring is never hidden under a dot.
  for (const bool success : {true, false}) {
    for (size_t s = 0; s < series_.size(); ++s) {
      if (series_[s].success != success) continue;
      for (const uint32_t i : kept_[s]) {
        const QPointF at(XOf(series_[s].time[i]), YOf(series_[s].correction[i]));
        DrawMarker(p, at, SourceColor(series_[s].source), success);
      }
    }
  }
  p.restore();
}

void CorrectionChart::DrawLegend(QPainter& p) const {
  const QStringList rows = LegendTexts();
  if (rows.isEmpty()) return;
  const QRect r = PlotRect();
  const QFontMetrics fm(font());
  const int top = r.bottom() + fm.height() + 14;
  const int columnWidth = std::max(width() / 2 - 20, 100);
  const size_t sources = history_->sources.size();
  for (int k = 0; k < rows.size(); ++k) {
    const QPointF at(20 + (k % 2) * columnWidth, top + (k / 2) * kLegendRow + kLegendRow / 2.0);
    const auto index = static_cast<size_t>(k);
    if (index < sources) {
      DrawMarker(p, at + QPointF(6, 0), SourceColor(static_cast<uint16_t>(index)), true);
    } else if (index == sources) {
      DrawMarker(p, at + QPointF(6, 0), kOutcomeColor, true);
    } else if (index == sources + 1) {
      DrawMarker(p, at + QPointF(6, 0), kOutcomeColor, false);
    } else if (index == sources + 2) {
      p.setPen(QPen(kSumColor, 1.0));
      p.drawLine(at, at + QPointF(12, 0));
    } else {
      p.setPen(QPen(kFitColor, 1.6, Qt::DashLine));
      p.drawLine(at, at + QPointF(12, 0));
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawText(at + QPointF(20, fm.ascent() / 2.0 - 1), rows[k]);
  }
}

}  // namespace quorvane
