#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "base/app_settings.h"
#include "ports/clock.h"

namespace quorvane {

// The band's text: local time, e.g. "14:05:09 June 15, 2009".
inline constexpr const char* kTimePattern = "%X %B %d, %Y";
inline constexpr int kTimeFontCellHeight = 40;
inline constexpr int kSharedFontCellHeight = 16;

// Colours are kept as COLORREF values, 0x00BBGGRR.
QColor ColorFromColorRef(uint32_t colorRef);
uint32_t ColorRefFromColor(const QColor& color);

// Arial (or its metric twin) whose character cell, leading included, is `cellHeight`
// pixels high.
QFont ArialWithCellHeight(int cellHeight, bool bold);

// The text of the band for a Unix time; empty when it cannot be formatted.
std::string TimeBandText(int64_t unixSeconds);

// The two display colours and the small shared font. The colours live in AppSettings,
// which stays their only copy in memory.
class TimeDisplay {
 public:
  explicit TimeDisplay(AppSettings& settings) : settings_(settings) {}

  uint32_t ForeGroundColor() const { return settings_.ForeGroundColor; }
  uint32_t BackGroundColor() const { return settings_.BackGroundColor; }
  void SetForeGroundColor(uint32_t colorRef) { settings_.ForeGroundColor = colorRef; }
  void SetBackGroundColor(uint32_t colorRef) { settings_.BackGroundColor = colorRef; }

  // Made by the main window's construction; the logging dialog uses it too.
  void MakeSharedFont();
  const QFont& SharedFont() const { return sharedFont_; }

 private:
  AppSettings& settings_;
  QFont sharedFont_;
};

// The coloured band of the main window. It draws into an off-screen pixmap that is made
// again only when the band is resized, and shows it in one piece.
class TimeBand : public QWidget {
  Q_OBJECT

 public:
  TimeBand(const TimeDisplay& display, Clock& clock, QWidget* parent = nullptr);

  // Draws the clock's time in the display's colours.
  void ShowTime();
  void Draw(const QString& text, const QColor& foreground, const QColor& background);
  const QPixmap& Pixmap() const { return pixmap_; }
  const QFont& TimeFont() const { return timeFont_; }
  // The text last drawn; what a screen reader reads when it asks.
  const QString& ShownText() const { return shown_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  const TimeDisplay& display_;
  Clock& clock_;
  QPixmap pixmap_;
  QFont timeFont_;
  QString shown_;
  // What a freshly made pixmap shows until the next tick draws the time.
  QColor background_;
};

}  // namespace quorvane
