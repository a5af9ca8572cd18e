// Single-quoted literals with their inner quotes doubled.
#include "text/SingleQuotes.h"

namespace olm::text {

QString doubleSingleQuotes(const QString &text)
{
    QString doubled = text;
    return doubled.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString singleQuotedLiteral(const QString &text)
{
    return QLatin1Char('\'') + doubleSingleQuotes(text) + QLatin1Char('\'');
}

} // namespace olm::text
