// SPDX-License-Identifier: MIT
#include "platform/module1.h"
#include "windows/form1.h"
#include "windows/look.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    preferX11();
    QApplication app(argc, argv);
    look::apply(app);

    Form1 form1;
    form1.show();
    return app.exec();
}
