#pragma once
// The version line and the two notice lines drawn over the product picture, shared by the splash screen and
// the About dialog.

class QWidget;

// Adds the three labels as children of the parent, above its other children.
void AddVersionLabels(QWidget *parent);
