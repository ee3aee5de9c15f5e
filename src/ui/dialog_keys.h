#pragma once

#include <vector>

class QDialog;
class QRadioButton;

namespace quorvane {

// Enter or Return on a focused push button of `dialog` presses that button, as on the
// desktop the dialogs were made for. Enter anywhere else still presses the default button,
// and Escape still cancels. Covers the push buttons the dialog has when called.
void PressFocusedButtonOnEnter(QDialog& dialog);

// Makes `buttons` behave as one radio group: a single stop in the tab order, on the checked
// button (the first when none is checked), and the arrow keys move the check with the focus,
// wrapping round and passing over disabled buttons. The group lives as long as the first
// button.
void MakeRadioGroup(std::vector<QRadioButton*> buttons);

}  // namespace quorvane
