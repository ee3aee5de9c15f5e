#pragma once

#include <QDialog>
#include <QRect>
#include <functional>

namespace quorvane {

inline constexpr const char* kAboutTitle = "About Quorvane";
inline constexpr const char* kAboutText = "Quorvane v2.0...";
inline constexpr const char* kWebSiteButtonText = "www.veltrand.example";
inline constexpr const char* kInstructionsTitle = "General Instructions";
extern const char* const kInstructionBlocks[3];

// Turns a rectangle in dialog units into pixels with the dialog font's base units.
QRect DialogUnitsToPixels(const QFontMetrics& metrics, int x, int y, int width, int height);

// Names a control of a dialog and sets it at its template rectangle, in dialog units.
template <typename W>
W* PlaceInDialogUnits(QDialog& dialog, W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(DialogUnitsToPixels(dialog.fontMetrics(), x, y, w, h));
  return widget;
}

// The About box. Its web-site button hands the home-page command to the main window and
// leaves the box open.
class CHelpAboutDialog : public QDialog {
  Q_OBJECT

 public:
  CHelpAboutDialog(std::function<void()> openHomePage, QWidget* parent = nullptr);

 private:
  std::function<void()> openHomePage_;
};

class CHelpWhatToDoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CHelpWhatToDoDialog(QWidget* parent = nullptr);
};

}  // namespace quorvane
