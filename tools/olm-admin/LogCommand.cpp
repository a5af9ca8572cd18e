// olm-admin log: the change log the clients write, as a person reads it.
//
// log show DB [--row ID] [--login L] [--since DATE] [--raw]
//   Lists the change log in aligned columns: entry, time, login, computer, journal row with its group,
//   student and discipline (also for rows deleted since), and the change. The filters keep one row's
//   entries, one login's, or those from DATE (YYYY-MM-DD or YYYY-MM-DD HH:MM) on. --raw prints every entry as
//   stored, tab-separated, for scripts.
#include "AdminCommands.h"

#include "CommandLine.h"

#include "TextOutput.h"

#include "server/Database.h"
#include "server/LogListing.h"

#include <QCommandLineParser>
#include <QIODevice>

namespace olm::admin {

namespace {

// The width of UTF-8 text in characters: every byte that does not continue a character.
int utf8Characters(QByteArrayView text)
{
    int count = 0;
    for (const char c : text)
        count += (quint8(c) & 0xC0) != 0x80;
    return count;
}

// Writes lines padded to the columns' widths in large blocks, so that a long log never sits in memory.
class AlignedLogPrinter {
public:
    AlignedLogPrinter(QTextStream &out, const std::array<int, server::logColumnCount> &widths)
        : m_out(out)
        , m_widths(widths)
    {
        m_out.flush(); // what was printed before comes first
    }
    ~AlignedLogPrinter() { flush(); }
    AlignedLogPrinter(const AlignedLogPrinter &) = delete;
    AlignedLogPrinter &operator=(const AlignedLogPrinter &) = delete;

    void print(const server::LogLine &line)
    {
        for (int i = 0; i < server::logColumnCount; ++i) {
            const QByteArrayView value = line[i];
            for (const char c : value)
                m_buffer += c == '\t' || c == '\n' || c == '\r' ? ' ' : c; // one entry, one line
            if (i + 1 == server::logColumnCount)
                break;
            m_buffer.append(qMax(0, m_widths[i] - utf8Characters(value)) + 2, ' ');
        }
        m_buffer += '\n';
        if (m_buffer.size() > 1 << 16)
            flush();
    }

private:
    void flush()
    {
        if (QIODevice *device = m_out.device())
            device->write(m_buffer);
        else
            m_out << QString::fromUtf8(m_buffer);
        m_buffer.clear();
    }
    QTextStream &m_out;
    std::array<int, server::logColumnCount> m_widths;
    QByteArray m_buffer;
};

const char *const logHeader[server::logColumnCount] = {"id", "time", "login", "computer", "row", "group", "student",
                                                       "discipline", "change"};

int printRawLog(const QString &database, QTextStream &out, QTextStream &err)
{
    QString error;
    auto admin = server::Administration::open(database, &error);
    if (!admin)
        return fail(err, error);
    printRow(out, {QStringLiteral("id"), QStringLiteral("time"), QStringLiteral("table"), QStringLiteral("row_id"),
                   QStringLiteral("descr"), QStringLiteral("user"), QStringLiteral("comp")});
    bool read = false;
    {
        using Kind = StoredRowPrinter::Kind;
        StoredRowPrinter printer(out, {Kind::Number, Kind::DateTime, Kind::Text, Kind::Number, Kind::Text, Kind::Text,
                                       Kind::Text});
        read = admin->forEachStoredLogRow([&](const QByteArrayView (&row)[7]) { printer.print(row); }, &error);
    }
    return read ? 0 : fail(err, error);
}

} // namespace

int runLogCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption rowOption(QStringLiteral("row"), QString(), QStringLiteral("id"));
    const QCommandLineOption loginOption(QStringLiteral("login"), QString(), QStringLiteral("login"));
    const QCommandLineOption sinceOption(QStringLiteral("since"), QString(), QStringLiteral("date"));
    const QCommandLineOption rawOption(QStringLiteral("raw"));
    parser.addOptions({rowOption, loginOption, sinceOption, rawOption});
    if (!parser.parse(QStringList{QStringLiteral("log")} + arguments))
        return fail(err, parser.errorText());
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2 || words.at(0) != QLatin1String("show"))
        return fail(err, QStringLiteral("log needs show and one database."));
    const QString &database = words.at(1);
    const bool filtered = parser.isSet(rowOption) || parser.isSet(loginOption) || parser.isSet(sinceOption);
    if (parser.isSet(rawOption)) {
        if (filtered)
            return fail(err, QStringLiteral("--raw lists every entry; it takes no filter."));
        return printRawLog(database, out, err);
    }
    QString error;
    server::LogFilter filter;
    if (parser.isSet(rowOption)) {
        const auto id = readRowId(parser.value(rowOption), &error);
        if (!id)
            return fail(err, error);
        filter.rowId = *id;
    }
    filter.login = parser.value(loginOption);
    if (parser.isSet(sinceOption)) {
        const auto since = readSince(parser.value(sinceOption), &error);
        if (!since)
            return fail(err, error);
        filter.since = *since;
    }
    // Two passes over the log rather than one held in memory: the first finds the widths.
    auto widths = server::logColumnWidths(database, filter, &error);
    if (!widths)
        return fail(err, error);
    server::LogLine header;
    for (int i = 0; i < server::logColumnCount; ++i) {
        header[i] = QByteArrayView(logHeader[i]);
        (*widths)[i] = qMax((*widths)[i], int(header[i].size()));
    }
    bool read = false;
    {
        AlignedLogPrinter printer(out, *widths);
        printer.print(header);
        read = server::forEachLogLine(database, filter, [&](const server::LogLine &line) { printer.print(line); }, &error);
    }
    return read ? 0 : fail(err, error);
}

} // namespace olm::admin
