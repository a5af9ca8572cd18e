// The client's statement texts, read from its sources with a pattern for Qt's string literals.
#include "ClientStatements.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QList<ClientText> clientStatementTexts(const QString &sourceDir)
{
    static const QRegularExpression literal(QStringLiteral("(?:QStringLiteral|QLatin1String)\\(\"((?:[^\"\\\\]|\\\\.)*)\"\\)"));
    static const QRegularExpression statement(QStringLiteral(R"(^\s*(select|insert|update|delete|exec|set)\s)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QList<ClientText> texts;
    for (const char *folder : {"app", "data", "journal"}) {
        const QDir dir(QDir(sourceDir).filePath(QString::fromLatin1(folder)));
        for (const QString &name : dir.entryList({QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString source = QString::fromUtf8(file.readAll());
            for (auto it = literal.globalMatch(source); it.hasNext();) {
                QString text = it.next().captured(1);
                text.replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
                if (statement.match(text).hasMatch())
                    texts.append({QLatin1String(folder) + QLatin1Char('/') + name, text});
            }
        }
    }
    return texts;
}
