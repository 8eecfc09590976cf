// SPDX-License-Identifier: MIT
#pragma once

#include "platform/seam.h"

#include <QString>

class QWidget;

// The one message the program shows: exclamation icon, one OK button, application-modal. Shows
// nothing until the desktop's box is installed: a modal box that nobody dismisses would hang a
// test.
class WarningBox : public Seam<WarningBox>
{
public:
    virtual ~WarningBox() = default;

    // Returns when the user has dismissed the box.
    virtual void show(QWidget *over, const QString &text, const QString &title) = 0;

private:
    friend Seam<WarningBox>;
    static WarningBox &fallback();
};
