#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "gui/ui/window_rigs.h"
#include "logging/qt/correction_chart.h"

// The chart from the keyboard alone: Tab reaches it, + and - zoom about the centre, the
// arrows pan within the whole span, Home shows all of it.
namespace quorvane::testing {
namespace {

TEST(CorrectionChartKeys, ZoomPanAndWholeSpanFromTheKeyboard) {
  HistoryRig rig;  // ten hourly corrections: nine hours, 32 400 s
  CCorrectionHistoryWindow& window = rig.Make();
  ShowActive(window);
  CorrectionChart& chart = window.Chart();
  const int64_t first = chart.From();
  // Tab from the buttons comes round to the chart.
  for (int i = 0; i < 6 && QApplication::focusWidget() != &chart; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  ASSERT_EQ(QApplication::focusWidget(), &chart);
  struct Step {
    Qt::Key key;
    int64_t from, to;  // seconds after the first entry
    const char* described;
  };
  const Step steps[] = {
      {Qt::Key_Plus, 8100, 24300, "4 of 10 corrections shown"},   // half, about the centre
      {Qt::Key_Right, 9720, 25920, "5 of 10 corrections shown"},  // a tenth of the span
      {Qt::Key_Minus, 0, 32400, "10 of 10 corrections shown"},    // never past the whole span
      {Qt::Key_Left, 0, 32400, "10 of 10 corrections shown"},     // nothing before it
      {Qt::Key_Equal, 8100, 24300, "4 of 10 corrections shown"},  // + without Shift
      {Qt::Key_Plus, 12150, 20250, "2 of 10 corrections shown"},
      {Qt::Key_Left, 11340, 19440, "2 of 10 corrections shown"},
      {Qt::Key_Home, 0, 32400, "10 of 10 corrections shown"},
  };
  for (const Step& s : steps) {
    QTest::keyClick(&chart, s.key);
    EXPECT_EQ(chart.From() - first, s.from) << s.key;
    EXPECT_EQ(chart.To() - first, s.to) << s.key;
    EXPECT_TRUE(chart.accessibleDescription().startsWith(s.described))
        << chart.accessibleDescription().toStdString();
  }
}

}  // namespace
}  // namespace quorvane::testing
