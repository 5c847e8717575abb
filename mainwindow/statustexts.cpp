#include "mainwindow/statustexts.h"

#include "app/model.h"

#include <QByteArray>

#include <cstring>

namespace {

// The scanner's system-information block and where its identification lies in it.
constexpr int kSystemInfoSize = 100;
constexpr int kSerialOffset = 28;
constexpr int kSerialLength = 8;

} // namespace

QString OrloConnectionText(CModel *model)
{
    char info[kSystemInfoSize];
    std::memset(info, 0, sizeof info);
    if (model->GetOrloSystemInfo(info) != 0)
        return QStringLiteral("Orlo");
    const char *serial = info + kSerialOffset;
    return QStringLiteral("Orlo %1").arg(QString::fromLatin1(serial, int(qstrnlen(serial, kSerialLength))));
}
