#pragma once

class QDialog;

namespace quorvane {

// What screen readers and keyboard users need of the Logging & Statistics dialog, none of it
// visible: each field, list and arrow named through its label or directly, the limit radio
// buttons as one group, and Enter pressing the focused button.
void MakeLoggingDialogAccessible(QDialog& dialog);

}  // namespace quorvane
