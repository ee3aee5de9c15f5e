#pragma once

#include <QAccessible>
#include <QString>

class QComboBox;
class QWidget;

namespace quorvane {

// What assistive technologies (screen readers) are told about the program's controls. None
// of it changes what the windows show.

// Installs, once, the interfaces through which screen readers see our own widgets and named
// drop-down lists. Widget constructors that need them call it; the application must exist.
void InstallAccessibleInterfaces();

// Makes the label of `window` whose text is `labelText` the buddy of `control`: a screen
// reader then says the label's text for the control and finds it through the labelled-by
// relation. Returns false when no such label exists.
bool LinkLabel(QWidget& window, const QString& labelText, QWidget* control);

// A name for a drop-down list whose label is not a single neighbour. Qt's own interface
// gives a list's current entry as its name on Linux; ours gives this name and the entry as
// the value.
void NameList(QComboBox* list, const QString& name);

// The role a widget of our own shows to assistive technologies (a chart, a label), where
// the plain widget would be an unnamed filler.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

}  // namespace quorvane
