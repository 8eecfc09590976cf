// SPDX-License-Identifier: MIT
// bare-clock: the floor that bench/peers holds Ringlo against. A plain Qt 6 Widgets window as the
// framework's examples would write it, with as much on it as Ringlo's main window: six labels, a
// menu, and a label that shows the time, updated by a 1 s timer.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTime>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare clock"));
    QMenu *menu = window.menuBar()->addMenu(QStringLiteral("File"));
    menu->addAction(QStringLiteral("Open"));
    menu->addAction(QStringLiteral("Show"));
    menu->addAction(QStringLiteral("Quit"), &app, &QApplication::quit);

    auto *client = new QWidget;
    client->setFixedSize(178, 221);
    window.setCentralWidget(client);
    const char *captions[] = {"Clock:", "", "Alarm set for:", "No alarm set", "Message:", ""};
    QLabel *labels[6] = {};
    for (int i = 0; i < 6; ++i) {
        labels[i] = new QLabel(QString::fromUtf8(captions[i]), client);
        labels[i]->setGeometry(16 + (i == 1 ? 56 : 0), 16 + i * 20, 137, 17);
    }
    QLabel *clock = labels[1];

    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, clock, [clock] {
        clock->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    });
    timer.start(1000);
    window.show();
    return app.exec();
}
