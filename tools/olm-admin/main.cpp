// olm-admin: the administrator's command-line tool for embedded OLM databases.
#include "AdminCommands.h"

#include "backends/embedded/EmbeddedBackend.h"
#include "backends/odbc/OdbcBackend.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // ping reaches the servers the client can reach.
    registerEmbeddedBackend();
    registerOdbcBackend();
    QTextStream out(stdout);
    QTextStream err(stderr);
    return olm::admin::runAdminCommand(app.arguments().mid(1), out, err);
}
