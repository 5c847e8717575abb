#pragma once
// Small helpers every window uses on its own widgets.

class QComboBox;
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
