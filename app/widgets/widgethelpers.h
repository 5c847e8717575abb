#pragma once
// Small helpers every window uses on its own widgets.

class QAction;
class QComboBox;
class QDockWidget;
class QMainWindow;
class QTreeWidget;
class QWidget;

// Centres the widget's frame on the reference's frame, kept inside the available desktop and never at negative
// coordinates.
void CenterOnWidget(QWidget *widget, const QWidget *reference);
void ResizeTreeColumns(QTreeWidget *tree);
// Index of the first item whose user data (as int) equals the value; -1 when none.
int FindComboIndexByData(const QComboBox *combo, int value);
// The user data of item i as int; -1 when i is out of range.
int ComboDataAt(const QComboBox *combo, int i);
// Checks a dock's View action from the dock's visibility without the action toggling the dock back: a dock hidden
// only behind another dock's tab is still open.
void SyncDockViewAction(QMainWindow *window, QDockWidget *dock, QAction *action, bool visible);
