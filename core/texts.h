// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The texts that the alarm logic and the windows share. The button's caption is the ringing state.
namespace texts {
inline const QString mainTitle = QStringLiteral("Ringlo (PC)");
inline const QString setAlarmTitle = QStringLiteral("Ställ in alarm");
inline const QString ringingTitle = QStringLiteral("Nu är det dags");
inline const QString armCaption = QStringLiteral("Ställ in alarm");
inline const QString stopCaption = QStringLiteral("Stoppa Alarm!");
inline const QString showAlarm = QStringLiteral("Visa alarm");
inline const QString warningText = QStringLiteral("Fyll i en korrekt tid");
inline const QString warningTitle = QStringLiteral("Fel");
// Why the PC must not sleep, which desktops show beside the program's name: the main window's
// "Alarm inställt på:" with the armed time.
inline QString armedReason(const QString &alarmTid)
{
    return QStringLiteral("Alarm inställt på %1").arg(alarmTid);
}
} // namespace texts
