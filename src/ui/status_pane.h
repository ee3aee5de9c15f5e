#pragma once

#include <QFont>
#include <QLabel>

namespace quorvane {

// The status bar's font: the small sans-serif face whose character cell matches the 8-point
// status bars users know, narrow enough that every status text fits the 500-pixel window.
QFont StatusBarFont();

// Pane 0 of the status bar. text() is always the whole status text; a text wider than the
// pane is drawn with its middle elided, and its tooltip then shows it whole.
class StatusPane : public QLabel {
 public:
  explicit StatusPane(QWidget* parent) : QLabel(parent) {}

  // Whether the text currently shown is cut.
  bool Elided() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool event(QEvent* e) override;

 private:
  QString ShownText() const;
};

}  // namespace quorvane
