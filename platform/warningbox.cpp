// SPDX-License-Identifier: MIT
#include "platform/warningbox.h"

#include <QMessageBox>

namespace {
WarningBox realBox;
WarningBox *replacement = nullptr;
} // namespace

void WarningBox::show(QWidget *over, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, over);
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

WarningBox &WarningBox::current()
{
    return replacement ? *replacement : realBox;
}

void WarningBox::replace(WarningBox *box)
{
    replacement = box;
}
