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
} // namespace texts
