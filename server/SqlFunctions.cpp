// Functions and collations registered on every connection through the driver's handle.
#include "SqlFunctions.h"

#include "Clock.h"
#include "Collations.h"
#include "DateText.h"

#include <sqlite3.h>

namespace olm::server {

namespace {

QString argText(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return QString::fromUtf8(text, sqlite3_value_bytes(value));
}

void resultText(sqlite3_context *context, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    sqlite3_result_text(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void upperFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    resultText(context, argText(argv[0]).toUpper());
}

void lowerFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    resultText(context, argText(argv[0]).toLower());
}

void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return sqlite3_result_null(context);
    }
    QChar escape;
    if (argc == 3) {
        const QString e = argText(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(context, "The escape of LIKE must be a single character.", -1);
            return;
        }
        escape = e.at(0);
    }
    sqlite3_result_int(context, likeMatches(argText(argv[0]), argText(argv[1]), escape) ? 1 : 0);
}

const SessionFacts *factsOf(sqlite3_context *context)
{
    return static_cast<const SessionFacts *>(sqlite3_user_data(context));
}

void loginFunction(sqlite3_context *context, int, sqlite3_value **)
{
    resultText(context, factsOf(context)->login);
}

void ownerFunction(sqlite3_context *context, int, sqlite3_value **)
{
    const SessionFacts *facts = factsOf(context);
    sqlite3_result_int(context, !facts->isOwner || facts->isOwner() ? 1 : 0);
}

// Not the owner's exemption: the server's own procedures are scoped to the signed-in user's groups too.
// A row that names no group is no group's: no selection shows it, and it can enter a group only through a
// change that this same check judges by the group it enters (a pasted row gets its group that way).
void myGroupFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const SessionFacts *facts = factsOf(context);
    const bool allowed = !facts->groupAllowed || sqlite3_value_type(argv[0]) == SQLITE_NULL
        || facts->groupAllowed(sqlite3_value_int64(argv[0]));
    sqlite3_result_int(context, allowed ? 1 : 0);
}

void nowFunction(sqlite3_context *context, int, sqlite3_value **)
{
    resultText(context, storedDateTime(serverNow()));
}

void todayFunction(sqlite3_context *context, int, sqlite3_value **)
{
    resultText(context, storedDate(serverNow().date()));
}

// [set] at pattern position p (just after '['): returns the position after ']' or -1 when unclosed.
qsizetype matchSet(const QString &pattern, qsizetype p, QChar c, bool *matched)
{
    bool negate = false;
    if (p < pattern.size() && pattern.at(p) == QLatin1Char('^')) {
        negate = true;
        ++p;
    }
    bool found = false;
    bool first = true;
    while (p < pattern.size() && (first || pattern.at(p) != QLatin1Char(']'))) {
        first = false;
        const QChar low = pattern.at(p).toCaseFolded();
        if (p + 2 < pattern.size() && pattern.at(p + 1) == QLatin1Char('-') && pattern.at(p + 2) != QLatin1Char(']')) {
            const QChar high = pattern.at(p + 2).toCaseFolded();
            found = found || (c >= low && c <= high);
            p += 3;
        } else {
            found = found || c == low;
            ++p;
        }
    }
    if (p >= pattern.size())
        return -1;
    *matched = found != negate;
    return p + 1;
}

bool likeFrom(const QString &pattern, qsizetype p, const QString &text, qsizetype t, QChar escape)
{
    while (p < pattern.size()) {
        const QChar pc = pattern.at(p);
        if (!escape.isNull() && pc == escape && p + 1 < pattern.size()) {
            if (t >= text.size() || text.at(t).toCaseFolded() != pattern.at(p + 1).toCaseFolded())
                return false;
            p += 2;
            ++t;
        } else if (pc == QLatin1Char('%')) {
            while (p < pattern.size() && pattern.at(p) == QLatin1Char('%'))
                ++p;
            if (p == pattern.size())
                return true;
            for (qsizetype from = t; from <= text.size(); ++from) {
                if (likeFrom(pattern, p, text, from, escape))
                    return true;
            }
            return false;
        } else if (pc == QLatin1Char('_')) {
            if (t >= text.size())
                return false;
            ++p;
            ++t;
        } else if (pc == QLatin1Char('[')) {
            if (t >= text.size())
                return false;
            bool matched = false;
            const qsizetype next = matchSet(pattern, p + 1, text.at(t).toCaseFolded(), &matched);
            if (next < 0) { // an unclosed '[' stands for itself
                if (text.at(t) != pc)
                    return false;
                ++p;
            } else {
                if (!matched)
                    return false;
                p = next;
            }
            ++t;
        } else {
            if (t >= text.size() || text.at(t).toCaseFolded() != pc.toCaseFolded())
                return false;
            ++p;
            ++t;
        }
    }
    return t == text.size();
}

} // namespace

bool likeMatches(const QString &pattern, const QString &text, QChar escape)
{
    return likeFrom(pattern, 0, text, 0, escape);
}

bool registerFunctions(sqlite3 *db, const SessionFacts *facts)
{
    void *data = const_cast<SessionFacts *>(facts);
    const int flags = SQLITE_UTF8;
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(db, "upper", 1, pure, nullptr, upperFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "lower", 1, pure, nullptr, lowerFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "like", 2, pure, nullptr, likeFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "like", 3, pure, nullptr, likeFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "olm_login", 0, flags, data, loginFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "olm_now", 0, flags, data, nowFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "getdate", 0, flags, data, nowFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "olm_today", 0, flags, data, todayFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "olm_owner", 0, flags, data, ownerFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "olm_my_group", 1, flags, data, myGroupFunction, nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_create_collation_v2(db, textCollation, SQLITE_UTF8, nullptr, textCompare, nullptr) == SQLITE_OK
        && sqlite3_create_collation_v2(db, dateCollation, SQLITE_UTF8, nullptr, dateCompare, nullptr) == SQLITE_OK;
}

} // namespace olm::server
