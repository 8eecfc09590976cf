// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// The one message the program shows: exclamation icon, one OK button, application-modal.
class WarningBox
{
public:
    virtual ~WarningBox() = default;

    // Returns when the user has dismissed the box.
    virtual void show(QWidget *over, const QString &text, const QString &title);

    // The program-wide box: a real one, unless a test has put its own in place.
    static WarningBox &current();
    // Puts a box in place of the real one; nullptr restores it. The caller keeps ownership.
    static void replace(WarningBox *box);
};
