#pragma once

class QDialog;

namespace quorvane {

struct ServerDialogControls;

// What screen readers and keyboard users need of the two server configuration dialogs,
// none of it visible: each field and list named through its label or directly, the test
// results reachable with Tab, and Enter pressing the focused button.
void MakeServerDialogAccessible(QDialog& dialog, const ServerDialogControls& c);
void MakeBroadcastTimeoutDialogAccessible(QDialog& dialog);

}  // namespace quorvane
