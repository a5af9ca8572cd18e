// GET_USER: checks a sign-in user's password digest (and changes it) and hands out the database
// credentials the client reconnects with.
#include "Procedures.h"

#include "Clock.h"
#include "Config.h"
#include "DateText.h"
#include "Password.h"
#include "Query.h"
#include "SessionPrivate.h"
#include "Users.h"

#include <QRegularExpression>

namespace olm::server {

namespace {

// One text for a wrong login and a wrong password, so the answer tells nothing about which logins exist.
const char wrongSignIn[] = "Неверное имя пользователя или пароль.";
// The digest of the empty text: what the client sends for a new password left blank.
const char emptyTextDigest[] = "D41D8CD98F00B204E9800998ECF8427E";
// Guessing is slowed down: this many failures for one login within the window shut it for the window.
constexpr int allowedFailures = 5;
constexpr qint64 lockoutSeconds = 15 * 60;

struct SignInRequest {
    QString login;
    QString digest;
    QVariant newDigest;
    QString program;
    QString address;
    QString computer;
};

ColumnInfo column(const char *name, QMetaType::Type type)
{
    ColumnInfo info;
    info.name = QString::fromLatin1(name);
    info.type = type;
    info.readOnly = true;
    return info;
}

Outcome answer(const QString &login, const QString &password, int id, int daysLeft, const QString &message, int update)
{
    // The credentials travel as shifted single bytes: one that the code page cannot carry is refused, not sent
    // as some other text.
    const auto shiftedLogin = shiftDown(login);
    const auto shiftedPassword = shiftDown(password);
    if (!shiftedLogin || !shiftedPassword)
        return Outcome::failure(QStringLiteral("The credentials of database login '%1' have characters that Windows-1251 cannot hold.")
                                    .arg(login));
    ResultSet set;
    set.columns = {column("db_login", QMetaType::QString), column("db_password", QMetaType::QString),
                   column("id_login", QMetaType::Int), column("days_left", QMetaType::Int),
                   column("message", QMetaType::QString), column("update_flag", QMetaType::Int)};
    set.rows.push_back({*shiftedLogin, *shiftedPassword, id, daysLeft, message, update});
    Outcome outcome;
    outcome.resultSets.push_back(std::move(set));
    return outcome;
}

std::optional<QString> databasePassword(sqlite3 *db, const QString &login)
{
    Query query(db, QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ? AND enabled = 1"));
    query.bind({login});
    if (!query.next())
        return std::nullopt;
    return query.value(0).toString();
}

// A client asks for an update only when it is older than the current program: a newer one (a pilot of the
// next version) must not be sent back. Versions compare as numbers ("OLM 9" is older than "OLM 16"); a program
// of another name, or without a version, is told to update whenever it is not the current one.
bool isOlderProgram(const QString &client, const QString &current)
{
    static const QRegularExpression named(QStringLiteral(R"(^(.*?)\s*(\d+(?:\.\d+)*)$)"));
    const auto a = named.match(client.trimmed()), b = named.match(current.trimmed());
    if (!a.hasMatch() || !b.hasMatch() || a.captured(1).compare(b.captured(1), Qt::CaseInsensitive) != 0)
        return client != current;
    const QStringList x = a.captured(2).split(QLatin1Char('.')), y = b.captured(2).split(QLatin1Char('.'));
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i) {
        const qlonglong left = x.value(i).toLongLong(), right = y.value(i).toLongLong();
        if (left != right)
            return left < right;
    }
    return false;
}

// Failures since the login's last success within the lock-out window; a lock-out answers like a wrong
// password, so it tells nothing either.
bool lockedOut(sqlite3 *db, const QString &login)
{
    Query query(db, QStringLiteral("SELECT count(*) FROM srv_attempts WHERE login = ?1 COLLATE OLM_CI AND success = 0 "
                                   "AND attempt_date >= ?2 AND id_attempt > coalesce((SELECT max(id_attempt) FROM "
                                   "srv_attempts WHERE login = ?1 COLLATE OLM_CI AND success = 1), 0)"));
    query.bind({login, storedDateTime(serverNow().addSecs(-lockoutSeconds))});
    return query.next() && query.value(0).toInt() >= allowedFailures;
}

Outcome signIn(ProcedureContext &context, const SignInRequest &request)
{
    SessionPrivate &session = context.session;
    sqlite3 *db = session.db();
    QString error;
    // The login matches exactly: blanks around it would pass the text comparison and then overflow the stamps.
    if (request.login != request.login.trimmed() || lockedOut(db, request.login))
        return Outcome::failure(QString::fromUtf8(wrongSignIn));
    const auto user = findUser(db, request.login, &error);
    if (!error.isEmpty())
        return Outcome::failure(error);
    if (!user) {
        // Spend the time a real check takes, so that timing does not tell either.
        static const QString decoy = makeVerifier(QStringLiteral("00000000000000000000000000000000"));
        verifierMatches(decoy, request.digest);
        return Outcome::failure(QString::fromUtf8(wrongSignIn));
    }
    if (!verifierMatches(user->verifier, request.digest))
        return Outcome::failure(QString::fromUtf8(wrongSignIn));

    const int update = isOlderProgram(request.program, configValue(db, currentProgramKey, QLatin1String(defaultCurrentProgram))) ? 3 : 0;
    if (!user->blockedMessage.isEmpty())
        return answer({}, {}, user->id, passwordDaysLeft(db, user->passwordChanged), user->blockedMessage, update);

    QDate changed = user->passwordChanged;
    if (!request.newDigest.isNull()) {
        // The server sees a new password only as its digest: these two are all it can judge.
        const QString newDigest = request.newDigest.toString();
        if (newDigest.compare(QLatin1String(emptyTextDigest), Qt::CaseInsensitive) == 0) {
            return answer({}, {}, user->id, passwordDaysLeft(db, changed),
                          QStringLiteral("Новый пароль не может быть пустым."), update);
        }
        if (newDigest.compare(request.digest, Qt::CaseInsensitive) == 0) {
            return answer({}, {}, user->id, passwordDaysLeft(db, changed),
                          QStringLiteral("Новый пароль должен отличаться от прежнего."), update);
        }
        if (!storePasswordDigest(db, user->id, request.newDigest.toString(), &error))
            return Outcome::failure(error);
        changed = serverNow().date();
    }
    const int daysLeft = passwordDaysLeft(db, changed);
    const auto password = databasePassword(db, user->databaseLogin);
    if (!password)
        return Outcome::failure(QStringLiteral("The database login of user '%1' is missing or disabled.").arg(user->login));
    // An expired password gets no credentials: the client must change it first.
    if (daysLeft < 0)
        return answer({}, {}, user->id, daysLeft, {}, update);
    return answer(user->databaseLogin, *password, user->id, daysLeft, {}, update);
}

std::optional<QString> checkRequest(const QVariantList &a, SignInRequest *request)
{
    request->login = a.at(0).toString();
    request->digest = a.at(1).toString();
    request->newDigest = a.at(2);
    request->program = a.at(3).toString();
    request->address = a.at(4).toString();
    request->computer = a.at(5).toString();
    if (!a.at(2).isNull() && !isDigestText(a.at(2).toString()))
        return QStringLiteral("The new password of GET_USER must be a digest of 32 hexadecimal digits.");
    // The ninth argument is the length of the third as the client wrote it: 4 for NULL, 34 for a quoted digest.
    const QString expected = a.at(2).isNull() ? QStringLiteral("4") : QString::number(a.at(2).toString().size() + 2);
    if (a.at(8).toString().trimmed() != expected)
        return QStringLiteral("Argument 9 of GET_USER must be the length of argument 3 as written (%1).").arg(expected);
    return std::nullopt;
}

void recordAttempt(SessionPrivate &session, const SignInRequest &request, bool success)
{
    Query query(session.db(), QStringLiteral("INSERT INTO srv_attempts (attempt_date, login, address, computer, program, "
                                             "success) VALUES (?, ?, ?, ?, ?, ?)"));
    if (query.bind({storedDateTime(serverNow()), request.login.left(128), request.address.left(64),
                    request.computer.left(128), request.program.left(64), success}))
        query.exec();
}

} // namespace

Outcome getUser(ProcedureContext &context, const QVariantList &arguments)
{
    SignInRequest request;
    if (const auto problem = checkRequest(arguments, &request))
        return Outcome::failure(*problem);
    Outcome outcome = isDigestText(request.digest) ? signIn(context, request)
                                                   : Outcome::failure(QString::fromUtf8(wrongSignIn));
    const bool success = outcome.ok && outcome.firstResult()->rows.front().at(4).toString().isEmpty();
    SessionPrivate &session = context.session;
    context.afterTransaction.push_back([&session, request, success] { recordAttempt(session, request, success); });
    return outcome;
}

} // namespace olm::server
