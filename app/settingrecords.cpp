#include "app/settingrecords.h"

bool IsUsableDataGroupName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    static const QString kExcluded = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : name) {
        if (kExcluded.contains(c) || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}
