// The comparison rules of text and date columns. No SQLite calls here: the loadable extension compiles this file
// against the shell's own SQLite.
#include "Collations.h"

#include "DateText.h"

#include <QByteArray>
#include <QString>

namespace olm::server {

namespace {

QString collationTextWithoutTrailingBlanks(const void *data, int size)
{
    QString text = QString::fromUtf8(static_cast<const char *>(data), size);
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    text.truncate(end);
    return text;
}

QByteArray collationComparableDate(const void *data, int size)
{
    const QByteArray raw(static_cast<const char *>(data), size);
    const QDateTime stamp = parseStoredDateTime(QString::fromUtf8(raw));
    return stamp.isValid() ? storedDateTime(stamp).toUtf8() : raw;
}

} // namespace

int textCompare(void *, int sizeA, const void *a, int sizeB, const void *b)
{
    return QString::compare(collationTextWithoutTrailingBlanks(a, sizeA), collationTextWithoutTrailingBlanks(b, sizeB),
                            Qt::CaseInsensitive);
}

int dateCompare(void *, int sizeA, const void *a, int sizeB, const void *b)
{
    const QByteArray x = collationComparableDate(a, sizeA), y = collationComparableDate(b, sizeB);
    return x < y ? -1 : (y < x ? 1 : 0);
}

} // namespace olm::server
