// Prepared statements over the driver's handle: binding, stepping, typed values and column facts.
#include "Query.h"

#include "DateText.h"
#include "StatementCache.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cstring>

namespace olm::server {

DeclaredType declaredType(const QString &declaration)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*([A-Za-z ]+?)\s*(?:\(\s*(\d+|max)\s*(?:,\s*\d+\s*)?\))?\s*$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(declaration);
    if (declaration.trimmed().isEmpty() || !m.hasMatch())
        return {};
    const QString name = m.captured(1).toUpper();
    const int size = m.captured(2).toInt(); // "max" gives 0: unlimited
    if (name == QLatin1String("BIT"))
        return {QMetaType::Bool, 0};
    if (name == QLatin1String("BIGINT"))
        return {QMetaType::LongLong, 0};
    if (name.contains(QLatin1String("INT")))
        return {QMetaType::Int, 0};
    if (name == QLatin1String("DATE"))
        return {QMetaType::QDate, 0};
    if (name.contains(QLatin1String("DATETIME")))
        return {QMetaType::QDateTime, 0};
    if (name.contains(QLatin1String("CHAR")) || name.contains(QLatin1String("TEXT")))
        return {QMetaType::QString, size};
    if (name.contains(QLatin1String("BINARY")) || name == QLatin1String("BLOB"))
        return {QMetaType::QByteArray, size};
    if (name.contains(QLatin1String("FLOAT")) || name.contains(QLatin1String("REAL"))
        || name.contains(QLatin1String("DOUBLE")) || name.contains(QLatin1String("DECIMAL"))
        || name.contains(QLatin1String("NUMERIC")) || name.contains(QLatin1String("MONEY")))
        return {QMetaType::Double, 0};
    return {QMetaType::QString, size};
}

int bindValue(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return sqlite3_bind_int(stmt, index, value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(stmt, index, qint64(value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::QDate: {
        const QByteArray text = storedDate(value.toDate()).toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QDateTime: {
        const QByteArray text = storedDateTime(value.toDateTime()).toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QTime: {
        const QByteArray text = value.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

namespace {

bool onlyBlanksAndComments(const char *tail)
{
    const char *p = tail;
    while (p && *p) {
        if (*p == ';' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char *end = strstr(p + 2, "*/");
            if (!end)
                return true; // an open comment runs to the end of the text
            p = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

const char *columnBytes(sqlite3_stmt *stmt, int column)
{
    return reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
}

QString columnText(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

QVariant naturalValue(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                                   sqlite3_column_bytes(stmt, column)));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QVariant(columnText(stmt, column));
    }
}

QMetaType::Type storageType(const QVariant &value)
{
    return value.isValid() ? QMetaType::Type(value.metaType().id()) : QMetaType::UnknownType;
}

QVariant convertTo(const QVariant &value, QMetaType::Type type)
{
    if (!value.isValid() || value.isNull())
        return QVariant(QMetaType(type));
    if (value.metaType().id() == type)
        return value;
    QVariant copy = value;
    if (type == QMetaType::QString && value.metaType().id() == QMetaType::QByteArray)
        return QVariant(QString::fromUtf8(value.toByteArray()));
    return copy.convert(QMetaType(type)) ? copy : QVariant(QMetaType(type));
}

} // namespace

Query::Query(sqlite3 *db, const QString &sql)
    : m_db(db)
{
    prepare(sql);
}

void Query::prepare(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        fail(rc);
        return;
    }
    m_hasTail = !onlyBlanksAndComments(tail);
}

Query::Query(sqlite3 *db, CachedStatement *kept)
    : m_db(db)
    , m_stmt(kept->stmt)
    , m_shape(&kept->shape)
    , m_borrowed(true)
{
}

Query::Query(StatementCache &cache, const QString &sql)
    : m_db(cache.db())
{
    if (CachedStatement *kept = cache.find(sql)) {
        m_stmt = kept->stmt;
        m_shape = &kept->shape;
        m_borrowed = true;
        return;
    }
    prepare(sql);
    keepIn(cache, sql);
}

void Query::keepIn(StatementCache &cache, const QString &sql)
{
    if (m_borrowed || !m_stmt || m_hasTail || !ok())
        return;
    CachedStatement *kept = cache.keep(sql, m_stmt);
    m_shape = &kept->shape;
    m_borrowed = true;
}

Query::~Query()
{
    if (!m_borrowed) {
        sqlite3_finalize(m_stmt);
        return;
    }
    // Ends the statement's read of the file and leaves it ready for the next caller.
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Query::fail(int rc)
{
    m_rc = rc;
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
}

bool Query::isReadOnly() const
{
    return !m_stmt || sqlite3_stmt_readonly(m_stmt);
}

int Query::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

bool Query::bind(const QVariantList &values)
{
    if (!ok() || !m_stmt)
        return ok() && values.isEmpty();
    const int expected = sqlite3_bind_parameter_count(m_stmt);
    if (expected != values.size()) {
        m_rc = SQLITE_RANGE;
        m_error = QStringLiteral("The statement has %1 parameter markers but %2 values were given.")
                      .arg(expected)
                      .arg(values.size());
        return false;
    }
    for (int i = 0; i < values.size(); ++i) {
        if (const int rc = bindValue(m_stmt, i + 1, values.at(i)); rc != SQLITE_OK) {
            fail(rc);
            return false;
        }
    }
    return true;
}

bool Query::next()
{
    if (!ok() || !m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        m_changes = sqlite3_stmt_readonly(m_stmt) ? 0 : sqlite3_changes64(m_db);
        return false;
    }
    fail(rc);
    return false;
}

bool Query::exec()
{
    while (next()) {
    }
    return ok();
}

const DeclaredType &Query::declared(int column) const
{
    std::vector<DeclaredType> &declared = m_shape ? m_shape->declared : m_declared;
    if (declared.empty()) {
        for (int i = 0; i < columnCount(); ++i)
            declared.push_back(declaredType(QString::fromUtf8(sqlite3_column_decltype(m_stmt, i))));
    }
    return declared.at(size_t(column));
}

QVariant Query::value(int column) const
{
    const DeclaredType &declared = this->declared(column);
    if (declared.type == QMetaType::UnknownType)
        return naturalValue(m_stmt, column);
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return QVariant(QMetaType(declared.type));
    switch (declared.type) {
    case QMetaType::Bool:
        return QVariant(sqlite3_column_int64(m_stmt, column) != 0);
    case QMetaType::Int:
        return QVariant(int(sqlite3_column_int64(m_stmt, column)));
    case QMetaType::LongLong:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case QMetaType::Double:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case QMetaType::QDate: {
        const QDate date = parseStoredDate(columnBytes(m_stmt, column), sqlite3_column_bytes(m_stmt, column));
        return date.isValid() ? QVariant(date) : QVariant(QMetaType(QMetaType::QDate));
    }
    case QMetaType::QDateTime: {
        const QDateTime stamp = parseStoredDateTime(columnBytes(m_stmt, column), sqlite3_column_bytes(m_stmt, column));
        return stamp.isValid() ? QVariant(stamp) : QVariant(QMetaType(QMetaType::QDateTime));
    }
    case QMetaType::QByteArray:
        return naturalValue(m_stmt, column).toByteArray();
    default:
        return QVariant(columnText(m_stmt, column));
    }
}

QByteArrayView Query::storedBytes(int column) const
{
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL)
        return {};
    const char *text = columnBytes(m_stmt, column);
    return QByteArrayView(text ? text : "", sqlite3_column_bytes(m_stmt, column));
}

QList<ColumnInfo> Query::columns() const
{
    if (m_shape && m_shape->columns)
        return *m_shape->columns;
    QList<ColumnInfo> result;
    for (int i = 0; i < columnCount(); ++i) {
        ColumnInfo info;
        info.name = QString::fromUtf8(sqlite3_column_name(m_stmt, i));
        info.type = declared(i).type;
        info.size = declared(i).size;
        const char *table = sqlite3_column_table_name(m_stmt, i);
        const char *origin = sqlite3_column_origin_name(m_stmt, i);
        if (table && origin) {
            info.baseTable = QString::fromUtf8(table);
            int autoIncrement = 0;
            if (sqlite3_table_column_metadata(m_db, sqlite3_column_database_name(m_stmt, i), table, origin,
                                              nullptr, nullptr, nullptr, nullptr, &autoIncrement)
                == SQLITE_OK)
                info.autoIncrement = autoIncrement != 0;
        }
        info.readOnly = info.autoIncrement || info.baseTable.isEmpty();
        result.append(info);
    }
    if (m_shape)
        m_shape->columns = result;
    return result;
}

ResultSet Query::readAll()
{
    ResultSet set;
    set.columns = columns();
    while (next()) {
        QVariantList row;
        row.reserve(set.columns.size());
        for (int i = 0; i < set.columns.size(); ++i)
            row.append(value(i));
        set.rows.push_back(std::move(row));
    }
    for (int i = 0; i < set.columns.size(); ++i) {
        ColumnInfo &column = set.columns[i];
        if (column.type != QMetaType::UnknownType)
            continue;
        column.type = QMetaType::QString;
        for (const QVariantList &row : set.rows) {
            if (const QMetaType::Type type = storageType(row.at(i)); type != QMetaType::UnknownType) {
                column.type = type;
                break;
            }
        }
        for (QVariantList &row : set.rows)
            row[i] = convertTo(row.at(i), column.type);
    }
    return set;
}

} // namespace olm::server
