#include "presettable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace InstallData {

namespace {

class Reader
{
public:
    QString error;

    int integer(const QJsonObject &object, const char *key, const QString &where)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isDouble() || value.toDouble() != double(value.toInt()))
            fail(where, key, "an integer");
        return value.toInt();
    }

    QString text(const QJsonObject &object, const char *key, const QString &where, bool nullable = false)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (nullable && value.isNull())
            return QString();
        if (!value.isString())
            fail(where, key, nullable ? "a text or null" : "a text");
        return value.toString();
    }

    QJsonArray array(const QJsonObject &object, const char *key, const QString &where)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isArray())
            fail(where, key, "an array");
        return value.toArray();
    }

    QJsonObject object(const QJsonValue &value, const QString &where)
    {
        if (!value.isObject() && error.isEmpty())
            error = where + QStringLiteral(": not an object");
        return value.toObject();
    }

private:
    void fail(const QString &where, const char *key, const char *what)
    {
        if (error.isEmpty())
            error = QStringLiteral("%1: \"%2\" must be %3").arg(where, QLatin1String(key), QLatin1String(what));
    }
};

} // namespace

int PresetChart::PatchCount() const
{
    int count = 0;
    for (const PresetArea &area : areas)
        count += area.patches;
    return count;
}

bool ReadPresetTable(const QString &path, PresetTable *table, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot be opened").arg(path);
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("%1: %2 at offset %3").arg(path, parseError.errorString()).arg(parseError.offset);
        return false;
    }

    Reader r;
    const QJsonObject root = r.object(document.object(), path);
    PresetTable result;
    const QJsonArray templates = r.array(root, "templates", path);
    for (int i = 0; i < templates.size() && r.error.isEmpty(); ++i) {
        const QString where = QStringLiteral("templates[%1]").arg(i);
        const QJsonObject o = r.object(templates.at(i), where);
        TemplateRow row;
        row.row = r.integer(o, "row", where);
        row.name = r.text(o, "name", where);
        row.firstNumber = r.integer(o, "firstNumber", where);
        row.secondNumber = r.integer(o, "secondNumber", where);
        for (const QJsonValue &n : r.array(o, "instruments", where))
            row.instruments.append(n.toInt());
        if (r.error.isEmpty() && row.row != i)
            r.error = QStringLiteral("%1: rows must be 0, 1, 2, ... in order").arg(where);
        result.templates.append(row);
    }
    const QJsonArray presets = r.array(root, "presets", path);
    for (int i = 0; i < presets.size() && r.error.isEmpty(); ++i) {
        const QString where = QStringLiteral("presets[%1]").arg(i);
        const QJsonObject o = r.object(presets.at(i), where);
        PresetChart chart;
        chart.fileNumber = r.integer(o, "fileNumber", where);
        chart.chartName = r.text(o, "chartName", where);
        chart.createTime = r.text(o, "createTime", where);
        chart.uuid = r.text(o, "uuid", where);
        chart.templateRow = r.integer(o, "template", where);
        chart.instrument = r.integer(o, "instrument", where);
        const QJsonObject page = r.object(o.value(QLatin1String("page")), where + QStringLiteral(".page"));
        chart.width = r.integer(page, "width", where + QStringLiteral(".page"));
        chart.height = r.integer(page, "height", where + QStringLiteral(".page"));
        const QJsonArray areas = r.array(o, "areas", where);
        for (int a = 0; a < areas.size(); ++a) {
            const QString at = where + QStringLiteral(".areas[%1]").arg(a);
            const QJsonObject ao = r.object(areas.at(a), at);
            PresetArea area;
            area.rows = r.integer(ao, "rows", at);
            area.columns = r.integer(ao, "columns", at);
            area.patches = r.integer(ao, "patches", at);
            area.left = r.integer(ao, "left", at);
            area.top = r.integer(ao, "top", at);
            area.patchWidth = r.integer(ao, "patchWidth", at);
            area.patchHeight = r.integer(ao, "patchHeight", at);
            area.pitchX = r.integer(ao, "pitchX", at);
            area.pitchY = r.integer(ao, "pitchY", at);
            chart.areas.append(area);
        }
        const QJsonObject colors = r.object(o.value(QLatin1String("colors")), where + QStringLiteral(".colors"));
        chart.colorFormat = r.integer(colors, "format", where + QStringLiteral(".colors"));
        for (const QJsonValue &entry : r.array(colors, "cycle", where + QStringLiteral(".colors"))) {
            QList<double> values;
            for (const QJsonValue &v : entry.toArray())
                values.append(v.toDouble());
            chart.colorCycle.append(values);
        }
        chart.barcodeKey = r.text(o, "barcodeKey", where, true);
        chart.addFileName = r.text(o, "addFileName", where, true);
        result.presets.append(chart);
    }
    if (!r.error.isEmpty()) {
        *error = r.error;
        return false;
    }
    *table = result;
    return true;
}

} // namespace InstallData
