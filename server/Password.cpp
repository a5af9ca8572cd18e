// Password digests, verifiers and the shifted credential form.
#include "Password.h"

#include "text/Windows1251.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
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

std::optional<QString> passwordDigest(const QString &password)
{
    const auto bytes = olm::text::toWindows1251(password);
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

std::optional<QString> shiftDown(const QString &text)
{
    const auto bytes = olm::text::toWindows1251(text);
    if (!bytes)
        return std::nullopt;
    return olm::text::fromWindows1251(shiftBytesDown(*bytes));
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
