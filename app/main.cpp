// SPDX-License-Identifier: MIT
#include "platform/module1.h"
#include "windows/form1.h"
#include "windows/look.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    preferX11();
    // Through MIT-SHM, Qt waits for the X server to finish reading the shared image before it
    // paints the same place again: a round trip, and two more thread wake-ups, at every clock tick.
    // The windows are small enough to send their pixels with the request instead.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication::setApplicationVersion(QStringLiteral(RINGLO_VERSION));
    // Wayland compositors and desktop portals find the menu entry by this id; on X11 the desktop
    // goes by the window class, which the entry names in StartupWMClass.
    QApplication::setDesktopFileName(QStringLiteral(RINGLO_APP_ID));
    QApplication app(argc, argv);
    look::apply(app);

    Form1 form1;
    form1.show();
    return app.exec();
}
