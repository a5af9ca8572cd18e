// The procedure table, argument checking and the transaction around every call.
#include "Procedures.h"

#include "SessionPrivate.h"
#include "Transaction.h"
#include "tsql/TsqlLexer.h"
#include "text/SingleQuotes.h"

#include <QRegularExpression>

#include <climits>
#include <cmath>

namespace olm::server {

namespace {

const QList<Procedure> &procedures()
{
    const auto integer = [](const char *name) { return ProcedureParameter{QString::fromLatin1(name), QMetaType::Int}; };
    const auto text = [](const char *name) { return ProcedureParameter{QString::fromLatin1(name), QMetaType::QString}; };
    static const QList<Procedure> all{
        {QStringLiteral("GET_USER"),
         {text("@login"), text("@password"), text("@new_password"), text("@program"), text("@address"),
          text("@computer"), text("@login_again"), text("@flag"), text("@new_password_length")},
         getUser,
         {1, 2}},
        {QStringLiteral("SORT_2_MARK_MAG"), {integer("@group"), integer("@semester"), integer("@student")}, sortJournal, {}, true},
        {QStringLiteral("InsertInto_SORT_MARK_MAG_2"),
         {integer("@group"), integer("@semester"), integer("@student"), integer("@mode")},
         insertJournalRows,
         {}},
        {QStringLiteral("DEL_FROM_MARK_MAG"), {text("@id_mark_mag")}, deleteJournalRows, {}},
        {QStringLiteral("CTRL_Z_Mark_mag"), {integer("@group"), integer("@semester")}, restoreJournalRows, {}},
        {QStringLiteral("ROW_HISTORY"), {integer("@id_mark_mag")}, rowHistory, {}, true},
    };
    return all;
}

QString typeName(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("float");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QStringLiteral("int");
    default:
        return QStringLiteral("varchar");
    }
}

// Converts a procedure argument as SQL Server does, so a client gets the same values; nothing when SQL Server
// would refuse it.
std::optional<QVariant> convert(const QVariant &value, QMetaType::Type type)
{
    if (!value.isValid() || value.isNull())
        return QVariant(QMetaType(type));
    if (type == QMetaType::QString) {
        if (value.metaType().id() == QMetaType::Bool)
            return QVariant(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
        return QVariant(value.toString());
    }
    bool ok = false;
    qlonglong number = 0;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return QVariant(value.toBool() ? 1 : 0);
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        if (!std::isfinite(real))
            return std::nullopt;
        number = qlonglong(std::trunc(real));
        ok = true;
        break;
    }
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok);
        break;
    default:
        number = value.toLongLong(&ok);
        break;
    }
    if (!ok || number < INT_MIN || number > INT_MAX)
        return std::nullopt;
    return QVariant(int(number));
}

bool bindArguments(const Procedure &procedure, const QList<tsql::Argument> &arguments, QVariantList *values,
                   QString *error)
{
    const qsizetype count = procedure.parameters.size();
    QList<std::optional<QVariant>> given(count);
    qsizetype position = 0;
    bool namedSeen = false;
    qsizetype number = 0;
    for (const tsql::Argument &argument : arguments) {
        ++number;
        qsizetype index = position;
        // A positional value after a named one, or a name given twice, could land on another parameter.
        if (argument.name.isEmpty() && namedSeen) {
            *error = QStringLiteral("Must pass parameter number %1 and subsequent parameters as '@name = value'. "
                                    "After the form '@name = value' has been used, all subsequent parameters must "
                                    "be passed in the form '@name = value'.")
                         .arg(number);
            return false;
        }
        if (!argument.name.isEmpty()) {
            namedSeen = true;
            index = -1;
            for (qsizetype i = 0; i < count; ++i) {
                if (procedure.parameters.at(i).name.compare(argument.name, Qt::CaseInsensitive) == 0)
                    index = i;
            }
            if (index < 0) {
                *error = QStringLiteral("%1 is not a parameter for procedure %2.").arg(argument.name, procedure.name);
                return false;
            }
        } else {
            ++position;
        }
        if (index >= count) {
            *error = QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(procedure.name);
            return false;
        }
        if (!argument.name.isEmpty() && given.at(index)) {
            *error = QStringLiteral("Parameter '%1' was supplied multiple times.").arg(procedure.parameters.at(index).name);
            return false;
        }
        given[index] = argument.value;
    }
    values->clear();
    for (qsizetype i = 0; i < count; ++i) {
        const ProcedureParameter &parameter = procedure.parameters.at(i);
        if (!given.at(i)) {
            *error = QStringLiteral("Procedure or function '%1' expects parameter '%2', which was not supplied.")
                         .arg(procedure.name, parameter.name);
            return false;
        }
        const auto converted = convert(*given.at(i), parameter.type);
        if (!converted) {
            *error = QStringLiteral("Error converting data type %1 to int.").arg(typeName(*given.at(i)));
            return false;
        }
        values->append(*converted);
    }
    return true;
}

QString literal(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return olm::text::singleQuotedLiteral(value.toString());
    }
}

} // namespace

const Procedure *findProcedure(const QString &writtenName)
{
    QString name = writtenName.trimmed();
    static const QRegularExpression group(QStringLiteral(R"(;\s*\d+$)"));
    name.remove(group);
    QStringList parts = name.split(QLatin1Char('.'));
    for (QString &part : parts) {
        part = part.trimmed();
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']')))
            part = part.mid(1, part.size() - 2);
    }
    if (parts.size() > 1 && parts.at(parts.size() - 2).compare(QLatin1String("dbo"), Qt::CaseInsensitive) != 0)
        return nullptr;
    for (const Procedure &procedure : procedures()) {
        if (procedure.name.compare(parts.last(), Qt::CaseInsensitive) == 0)
            return &procedure;
    }
    return nullptr;
}

Outcome runProcedure(SessionPrivate &session, const Procedure &procedure, const QList<tsql::Argument> &arguments)
{
    Authorizer &authorizer = session.authorizer();
    if (!authorizer.isAdministrator() && !authorizer.rights().allows(procedure.name, QStringLiteral("EXECUTE")))
        return Outcome::failure(Denial{QStringLiteral("EXECUTE"), procedure.name, {}}.message(session.databaseName()));
    QVariantList values;
    QString error;
    if (!bindArguments(procedure, arguments, &values, &error))
        return Outcome::failure(error);

    ProcedureContext context{session, {}};
    Outcome outcome;
    Authorizer::Elevation owner(authorizer);
    {
        Transaction transaction(session.db(), procedure.readsOnly ? Transaction::Lock::Read : Transaction::Lock::Write);
        if (!transaction.ok()) {
            outcome = session.failure(transaction.resultCode(), transaction.errorMessage());
        } else {
            outcome = procedure.body(context, values);
            if (outcome.ok && !transaction.commit())
                outcome = session.failure(transaction.resultCode(), transaction.errorMessage());
        }
    }
    for (const auto &after : context.afterTransaction)
        after();
    if (outcome.ok)
        outcome.returnValue = 0;
    return outcome;
}

QString procedureCallText(const Procedure &procedure, const QList<tsql::Argument> &arguments)
{
    QStringList written;
    int position = 0;
    for (const tsql::Argument &argument : arguments) {
        bool secret = false;
        for (const int index : procedure.secretArguments) {
            secret = secret
                || (argument.name.isEmpty() ? index == position
                                            : procedure.parameters.value(index).name.compare(argument.name, Qt::CaseInsensitive) == 0);
        }
        if (argument.name.isEmpty())
            ++position;
        const bool hidden = secret && argument.value.isValid() && !argument.value.isNull();
        const QString value = hidden ? QStringLiteral("'********'") : literal(argument.value);
        written.append(argument.name.isEmpty() ? value : argument.name + QStringLiteral(" = ") + value);
    }
    return QStringLiteral("EXEC %1 %2").arg(procedure.name, written.join(QStringLiteral(", "))).trimmed();
}

} // namespace olm::server
