#pragma once

#include <QValidator>

class QLineEdit;

namespace quorvane {

// The primary server field: letters typed into it turn to lower case, and as it never scrolls
// sideways, typing stops once the text fills its visible width. Text set by the program is
// not checked.
class ServerFieldValidator : public QValidator {
  Q_OBJECT

 public:
  explicit ServerFieldValidator(QLineEdit* edit);
  State validate(QString& input, int& pos) const override;

 private:
  // Pixels the field has for its text.
  int Room() const;
  QLineEdit* edit_;
  QString shown_;
};

}  // namespace quorvane
