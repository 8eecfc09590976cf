// SPDX-License-Identifier: MIT
#include "platform/desktopwarningbox.h"

#include <QMessageBox>

void DesktopWarningBox::show(QWidget *over, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, over);
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
