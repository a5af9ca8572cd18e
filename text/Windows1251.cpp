// Windows-1251 through Qt's converters, refusing what the code page cannot carry.
#include "text/Windows1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace olm::text {

namespace {

constexpr const char *codePage = "windows-1251";

// One character's bytes: the converter marks what it cannot carry with a byte that is also a legal
// character, so a failure shows only as its error flag.
std::optional<QByteArray> encodeOne(QStringView character)
{
    QStringEncoder encoder(codePage, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(character);
    if (!encoder.isValid() || encoder.hasError() || bytes.size() != 1)
        return std::nullopt;
    return bytes;
}

qsizetype characterLength(const QString &text, qsizetype at)
{
    return text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
}

} // namespace

std::optional<QByteArray> toWindows1251(const QString &text)
{
    QStringEncoder encoder(codePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    // One byte a code unit: a surrogate pair that came out as a single byte was replaced, not carried.
    if (encoder.hasError() || bytes.size() != text.size())
        return std::nullopt;
    return bytes;
}

QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder(codePage, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString firstCharacterOutsideWindows1251(const QString &text)
{
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = characterLength(text, i);
        const QString character = text.mid(i, length);
        if (!encodeOne(character))
            return character;
        i += length;
    }
    return {};
}

QString outsideWindows1251Message(const QString &what, const QString &character)
{
    const QString named = character.isEmpty() ? QStringLiteral("символ") : QStringLiteral("символ «%1»").arg(character);
    return QStringLiteral("%1 содержит %2, которого нет в кодировке Windows-1251.").arg(what, named);
}

} // namespace olm::text
