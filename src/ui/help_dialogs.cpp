#include "ui/help_dialogs.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "platform/qt/dialog_units.h"
#include "ui/app_icon.h"

namespace quorvane {

const char* const kInstructionBlocks[3] = {
    "1)   Open 'Mode' and select 'Poll'.\n"
    "2)   Click 'Servers'.\n"
    "3)   Enter or select Primary and Secondary servers.\n"
    "4)   Test them to be sure they respond.\n"
    "5)   Set the time interval and unit, then hit OK\n"
    "That is sufficient for this program to work.",
    "The display colors can be changed in the 'View' menu.\n"
    "Log settings are in 'Options -> Logging and Statistics'.\n"
    "A checkmark by 'Options -> Minimize to Tray' creates a tray icon when the window is "
    "minimized.",
    "Checkmark 'Options -> Run at Startup' to start this program when the PC does.\n"
    "Checkmark 'Options -> Start Minimized' to avoid seeing the main window upon restart.\n"
    "Use 'Query SNTP Server' and 'Sync System Clock' at any time in Poll mode.",
};

namespace {

// The templates were laid out for a small 8-point sans-serif dialog font.
constexpr int kTemplatePoints = 8;

void FixDialogSize(QDialog& dialog, int width, int height) {
  const QRect r = DialogUnitsToPixels(dialog.fontMetrics(), 0, 0, width, height);
  dialog.setFixedSize(r.size());
}

QPushButton* PlaceButton(QDialog& dialog, const char* text, int x, int y, int w, int h) {
  auto* button = new QPushButton(QString::fromUtf8(text), &dialog);
  button->setGeometry(DialogUnitsToPixels(dialog.fontMetrics(), x, y, w, h));
  return button;
}

QLabel* PlaceText(QDialog& dialog, const char* text, int x, int y, int w, int h) {
  auto* label = new QLabel(QString::fromUtf8(text), &dialog);
  label->setGeometry(DialogUnitsToPixels(dialog.fontMetrics(), x, y, w, h));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

}  // namespace

CHelpAboutDialog::CHelpAboutDialog(std::function<void()> openHomePage, QWidget* parent)
    : QDialog(parent), openHomePage_(std::move(openHomePage)) {
  setWindowTitle(QString::fromUtf8(kAboutTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseTemplateFont(*this, kTemplatePoints);
  FixDialogSize(*this, 210, 66);
  const QFontMetrics metrics = fontMetrics();

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("about_icon"));
  const QRect iconRect = DialogUnitsToPixels(metrics, 11, 17, 21, 20);
  const int side = std::min(iconRect.width(), iconRect.height());
  icon->setGeometry(iconRect.x(), iconRect.y(), side, side);
  icon->setPixmap(AppIcon().pixmap(side, side));

  QLabel* name = PlaceText(*this, kAboutText, 40, 10, 110, 8);
  name->setObjectName(QStringLiteral("about_text"));
  name->setWordWrap(false);
  name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  QPushButton* web = PlaceButton(*this, kWebSiteButtonText, 40, 35, 110, 14);
  web->setObjectName(QStringLiteral("about_web"));
  web->setAutoDefault(false);
  connect(web, &QPushButton::clicked, this, [this] {
    if (openHomePage_) openHomePage_();
  });

  QPushButton* ok = PlaceButton(*this, "OK", 160, 7, 43, 14);
  ok->setObjectName(QStringLiteral("about_ok"));
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CHelpWhatToDoDialog::CHelpWhatToDoDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(kInstructionsTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  UseTemplateFont(*this, kTemplatePoints);

  QPushButton* ok = PlaceButton(*this, "OK", 247, 7, 50, 14);
  ok->setObjectName(QStringLiteral("instructions_ok"));
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  QLabel* blocks[3] = {PlaceText(*this, kInstructionBlocks[0], 7, 7, 232, 50),
                       PlaceText(*this, kInstructionBlocks[1], 7, 60, 290, 36),
                       PlaceText(*this, kInstructionBlocks[2], 7, 99, 290, 36)};
  // A font wider than the template's wraps the long lines more often: let a block grow
  // and push the ones below it down rather than cut its text off.
  const QRect templateSize = DialogUnitsToPixels(fontMetrics(), 0, 0, 304, 139);
  const int gap = DialogUnitsToPixels(fontMetrics(), 0, 0, 0, 3).height();
  int bottom = 0;
  for (int i = 0; i < 3; ++i) {
    blocks[i]->setObjectName(QStringLiteral("instructions_%1").arg(i + 1));
    QRect r = blocks[i]->geometry();
    if (i > 0) r.moveTop(std::max(r.top(), bottom + gap));
    r.setHeight(std::max(r.height(), blocks[i]->heightForWidth(r.width())));
    blocks[i]->setGeometry(r);
    bottom = r.bottom();
  }
  setFixedSize(templateSize.width(), std::max(templateSize.height(), bottom + 2 * gap));
}

}  // namespace quorvane
