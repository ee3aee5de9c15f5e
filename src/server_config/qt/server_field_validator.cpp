#include "server_config/qt/server_field_validator.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace quorvane {
namespace {

// What a line edit keeps free on each side of its text, and the cursor's width.
constexpr int kInnerMargin = 2;
constexpr int kCursorWidth = 1;

}  // namespace

ServerFieldValidator::ServerFieldValidator(QLineEdit* edit) : QValidator(edit), edit_(edit) {
  // While validating, the field already holds the new text; what it showed before is this.
  connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { shown_ = text; });
}

int ServerFieldValidator::Room() const {
  QStyleOptionFrame option;
  option.initFrom(edit_);
  option.rect = edit_->rect();
  option.lineWidth = edit_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit_);
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  QRect contents = edit_->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit_);
  contents = contents.marginsRemoved(edit_->textMargins());
  return contents.width() - 2 * kInnerMargin - kCursorWidth;
}

QValidator::State ServerFieldValidator::validate(QString& input, int& /*pos*/) const {
  input = input.toLower();
  const QFontMetrics metrics = edit_->fontMetrics();
  const int width = metrics.horizontalAdvance(input);
  // A longer text put in by the program can still be shortened.
  if (width > Room() && width > metrics.horizontalAdvance(shown_)) return Invalid;
  return Acceptable;
}

}  // namespace quorvane
