// Windows-1251 conversions through Qt's converters.
#include "platform/Ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace olm::platform {

namespace {

constexpr const char *codePage = "windows-1251";

} // namespace

QByteArray toAnsi(const QString &text)
{
    QStringEncoder encoder(codePage);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    // The converter marks what it cannot carry with a byte that is also a legal character, so the
    // text is encoded again one code point at a time to put '?' in exactly those places.
    bytes.clear();
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder single(codePage);
        const QByteArray encoded = single.encode(QStringView(text).mid(i, length));
        bytes += single.hasError() || encoded.isEmpty() ? QByteArray(1, '?') : encoded;
        i += length;
    }
    return bytes;
}

QString fromAnsi(const QByteArray &bytes)
{
    QStringDecoder decoder(codePage);
    return decoder.decode(bytes);
}

} // namespace olm::platform
