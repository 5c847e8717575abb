#include "mainwindow/fileactionnames.h"

#include "app/constants.h"
#include "app/model.h"
#include "app/texthelpers.h"

#include <QFileInfo>

namespace {

// The name a new measurement document gets: "Meas" and five digits, nothing else.
bool IsDefaultMeasurementName(const QString &name)
{
    if (name.size() != 9 || !name.startsWith(QLatin1String("Meas")))
        return false;
    for (int i = 4; i < name.size(); ++i) {
        if (name.at(i) < QLatin1Char('0') || name.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

QString FirstExistingChartImagePage(const QString &path, int pageCount)
{
    for (int page = 0; page < pageCount; ++page) {
        const QString file = CModel::ChartImagePageFileName(path, page);
        if (QFileInfo::exists(file))
            return file;
    }
    return QString();
}

QString DefaultExportFileName(bool recognition, int fileId, const QString &name, const QString &chartName,
                              int filterIndex)
{
    const QString digits = ZeroPaddedNumber(fileId, 5);
    QString base;
    if (recognition)
        base = digits;
    else if (IsDefaultMeasurementName(name))
        base = chartName + QLatin1Char('_') + digits;
    else
        base = name;
    return base + OutputFormatExtension(filterIndex);
}

QString FirstExistingMeasurementFile(const CModel &model, const QString &path)
{
    const Setting::MeasureConditionSetting *conditions = model.GetMeasurementCondition(0);
    if (!conditions)
        return QString();
    for (int id : MeasurementConditionIdsFromMask(conditions->ConditionMask)) {
        const QString file = model.BuildMeasurementFileName(path, id);
        if (QFileInfo::exists(file))
            return file;
    }
    return QString();
}
