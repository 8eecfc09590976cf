// SPDX-License-Identifier: MIT
#pragma once

#include "platform/warningbox.h"

// The warning as a Qt message box.
class DesktopWarningBox final : public WarningBox
{
public:
    void show(QWidget *over, const QString &text, const QString &title) override;
};
