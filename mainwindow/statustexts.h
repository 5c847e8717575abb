#pragma once
// Texts both windows show in their status bars.

#include <QString>

class CModel;

// "Orlo" and the connected scanner's 8-character identification; "Orlo" alone when its system information
// cannot be read.
QString OrloConnectionText(CModel *model);
