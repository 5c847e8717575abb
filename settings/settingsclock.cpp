#include "settings/settingsclock.h"

namespace SettingsClock {
namespace {
NowFunction &Source()
{
    static NowFunction source;
    return source;
}
} // namespace

QDateTime Now()
{
    const NowFunction &source = Source();
    return source ? source() : QDateTime::currentDateTime();
}

void SetNowFunction(NowFunction now)
{
    Source() = std::move(now);
}

} // namespace SettingsClock
