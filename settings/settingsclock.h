#pragma once
// The local date and time the settings and maintenance dialogs read for reminders, history entries and file
// stamps. One settable source, so tests can put "now" anywhere without waiting on the wall clock.

#include <QDateTime>

#include <functional>

namespace SettingsClock {

using NowFunction = std::function<QDateTime()>;

// The current local date and time: QDateTime::currentDateTime unless a source was set.
QDateTime Now();

// Replaces the source; an empty function restores the wall clock.
void SetNowFunction(NowFunction now);

} // namespace SettingsClock
