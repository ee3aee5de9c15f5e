#pragma once

#include <QDialog>
#include <functional>

namespace quorvane {

inline constexpr const char* kAboutTitle = "About Quorvane";
inline constexpr const char* kAboutText = "Quorvane v2.0...";
inline constexpr const char* kWebSiteButtonText = "www.veltrand.example";
inline constexpr const char* kInstructionsTitle = "General Instructions";
extern const char* const kInstructionBlocks[3];

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
