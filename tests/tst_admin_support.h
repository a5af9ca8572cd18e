// Shared by the olm-admin tests: runs the built tool as an administrator does and keeps what it printed.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace admintest {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

inline Run admin(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(OLM_ADMIN_EXECUTABLE), arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        run.err = QStringLiteral("olm-admin did not finish");
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace admintest

#define QVERIFY_RUN(expression)                                                                                      \
    do {                                                                                                             \
        const admintest::Run run_ = (expression);                                                                    \
        QVERIFY2(run_.code == 0, qPrintable(run_.err));                                                              \
    } while (false)
