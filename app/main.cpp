// SPDX-License-Identifier: MIT
#include "platform/alsatone.h"
#include "platform/clock.h"
#include "platform/desktopnotification.h"
#include "platform/desktopsessionhold.h"
#include "platform/desktopwarningbox.h"
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

    // All that Ringlo talks to besides the X server, which the windows reach themselves to keep the
    // ringing window above and off the taskbar. Made after the application object and before the
    // windows, which connect to the notice as they are made, and gone after them. The bus calls
    // still under way at the exit are waited for at aboutToQuit, a hanging sound device for at most
    // half a second in the tone's destructor.
    Clock systemClock;
    AlsaTone tone;                    // ALSA's "default" device, from a thread of its own
    DesktopNotification notification; // org.freedesktop.Notifications on the session bus
    DesktopSessionHold sessionHold;   // the session's suspend inhibitor, and the X idle time
    DesktopWarningBox warningBox;
    Clock::install(&systemClock);
    Tone::install(&tone);
    Notification::install(&notification);
    SessionHold::install(&sessionHold);
    WarningBox::install(&warningBox);

    Form1 form1;
    form1.show();
    return app.exec();
}
