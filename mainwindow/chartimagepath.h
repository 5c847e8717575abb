#pragma once
// Where a chart's pages go as TIFF files, asked of the user in both windows alike.

#include <QString>

class QWidget;

// Asks for the file through the save dialog, starting at proposal. When a page file this save writes exists
// already, asks whether to overwrite, naming the chosen file; No asks again on the same path. Empty when the
// user cancels.
QString ChooseChartImagePath(QWidget *parent, const QString &proposal, int pageCount);
