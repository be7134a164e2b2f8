// One instance of a program under test: peer <key> <message>.
// A second instance sends <message> and prints "second sent=<0|1>"; the first
// prints "first" and then "message:<text>" for every message it receives, and
// quits after the message "quit".

#include "componentmodel/SingleApplication.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    ComponentModel::SingleApplication app(argc, argv, QString::fromUtf8(argv[1]));
    const QString message = QString::fromUtf8(argv[2]);
    if (app.isRunning()) {
        std::printf("second sent=%d\n", app.sendMessage(message) ? 1 : 0);
        return 0;
    }
    std::printf("first\n");
    std::fflush(stdout);
    QObject::connect(&app, &ComponentModel::SingleApplication::messageAvailable, [&app](const QString& text) {
        std::printf("message:%s\n", text.toUtf8().constData());
        std::fflush(stdout);
        if (text == QLatin1String("quit"))
            app.quit();
    });
    return app.exec();
}
