// The client's start-up in an executable the self-update test runs as the program to be replaced: it types
// the login and password into the real sign-in window once its modal loop runs and presses Enter, answers
// every message box with OK and prints it, and sends downloads to the port of the test's loopback server.
// Arguments: LOGIN PASSWORD PORT. The client itself reads no arguments; only this test build does.
#include "app/Startup.h"
#include "app/Unit10.h"
#include "backends/embedded/EmbeddedBackend.h"
#include "backends/odbc/OdbcBackend.h"
#include "platform/FakePlatform.h"
#include "toolkit/ui/Dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    // The backends the client itself registers.
    registerEmbeddedBackend();
    registerOdbcBackend();
    const QStringList arguments = QCoreApplication::arguments();
    bool portRead = false;
    const quint16 port = arguments.value(3).toUShort(&portRead);
    if (arguments.size() != 4 || !portRead) {
        std::fputs("usage: olm16-update-client LOGIN PASSWORD PORT\n", stderr);
        return 2;
    }
    const QString login = arguments.at(1);
    const QString password = arguments.at(2);

    olm::platform::FakePlatform platform;
    platform.passDownloadsAndSwapsToSystem(port);
    const olm::platform::ScopedPlatform scopedPlatform(platform);

    // One line a box: kind, caption, type and text, carriage returns written as \r.
    DialogSeam::setResponder([](const ShownMessage &box) {
        QTextStream out(stdout);
        out << "box\t" << box.kind << '\t' << box.caption << '\t' << box.type << '\t'
            << QString(box.text).replace(QLatin1Char('\r'), QLatin1String("\\r")) << '\n';
        out.flush();
        return IDOK;
    });

    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, &typist, [&] {
        auto *form = qobject_cast<TForm8 *>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        typist.stop();
        QTest::keyClicks(form->Login_Edit, login);
        QTest::keyClicks(form->Password_Edit, password);
        QTest::keyClick(form->Password_Edit, Qt::Key_Return);
    });
    typist.start(20);
    return RunStartup();
}
