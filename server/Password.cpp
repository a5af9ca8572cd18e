// Password digests, verifiers and the shifted credential form.
#include "Password.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace olm::server {

namespace {
constexpr int iterations = 10000;
constexpr int keyLength = 32;
const char verifierTag[] = "pbkdf2-sha256";

QByteArray derive(const QString &digest, const QByteArray &salt, int rounds)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, digest.toUpper().toLatin1(), salt,
                                              rounds, keyLength);
}
} // namespace

std::optional<QByteArray> toWindows1251(const QString &text)
{
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    // The encoder writes '?' for what it cannot map; a '?' that was not typed means failure.
    if (bytes.count('?') != text.count(QLatin1Char('?')))
        return std::nullopt;
    return bytes;
}

QString fromWindows1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    return decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
}

std::optional<QString> passwordDigest(const QString &password)
{
    const auto bytes = toWindows1251(password);
    if (!bytes)
        return std::nullopt;
    return QString::fromLatin1(QCryptographicHash::hash(*bytes, QCryptographicHash::Md5).toHex().toUpper());
}

bool isDigestText(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
              || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

QString makeVerifier(const QString &digest)
{
    QByteArray salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), salt.size() / 4);
    return QStringList{QString::fromLatin1(verifierTag), QString::number(iterations),
                       QString::fromLatin1(salt.toBase64()),
                       QString::fromLatin1(derive(digest, salt, iterations).toBase64())}
        .join(QLatin1Char('$'));
}

bool verifierMatches(const QString &verifier, const QString &digest)
{
    const QStringList parts = verifier.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts.at(0) != QLatin1String(verifierTag))
        return false;
    bool ok = false;
    const int rounds = parts.at(1).toInt(&ok);
    if (!ok || rounds < 1)
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts.at(2).toLatin1());
    const QString expected = parts.at(3);
    return sameText(QString::fromLatin1(derive(digest, salt, rounds).toBase64()), expected);
}

QByteArray shiftBytesDown(const QByteArray &bytes)
{
    QByteArray result = bytes;
    for (char &c : result)
        c = char(quint8(quint8(c) - 1));
    return result;
}

QByteArray shiftBytesUp(const QByteArray &bytes)
{
    QByteArray result = bytes;
    for (char &c : result)
        c = char(quint8(quint8(c) + 1));
    return result;
}

QString shiftDown(const QString &text)
{
    const auto bytes = toWindows1251(text);
    return fromWindows1251(shiftBytesDown(bytes ? *bytes : text.toLatin1()));
}

QString randomPassword(int length)
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";
    QString result;
    for (int i = 0; i < length; ++i)
        result += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return result;
}

bool sameText(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    unsigned diff = unsigned(x.size() ^ y.size());
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i)
        diff |= unsigned(quint8(i < x.size() ? x[i] : 0) ^ quint8(i < y.size() ? y[i] : 0));
    return diff == 0;
}

} // namespace olm::server
