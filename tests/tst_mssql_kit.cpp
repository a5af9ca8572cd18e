// Offline checks of the SQL Server scripts in server/mssql, read with the server's own T-SQL lexer: they lex and
// keep SQL Server's batch rules, create every relation, column, parameter and result column the client relies on
// (the same procedures as the embedded server), and the client's own statement texts lex and name only objects
// the scripts create. Nothing here runs on a SQL Server.
#include "app/SignIn.h"
#include "journal/GridRules.h"
#include "server/Procedures.h"
#include "server/tsql/TsqlLexer.h"
#include "tests/support/ClientStatements.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using olm::tsql::Token;
using olm::tsql::TokenKind;

namespace {

// What the client relies on: the relations it reads and writes with the columns it names, and the procedures
// with their parameters and result columns in order.
struct ContractRelation {
    const char *name;
    QStringList columns;
};

const QStringList journalColumns{
    QStringLiteral("primech"), QStringLiteral("dopusk_izm"), QStringLiteral("id_estimation_other"),
    QStringLiteral("id_mark_mag"), QStringLiteral("id_group"), QStringLiteral("id_student"),
    QStringLiteral("id_examination"), QStringLiteral("id_discipline"), QStringLiteral("id_estimation"),
    QStringLiteral("id_semester"), QStringLiteral("id_teacher"), QStringLiteral("p35"), QStringLiteral("p36"),
    QStringLiteral("id_f_est"), QStringLiteral("oper"), QStringLiteral("u_date"), QStringLiteral("OLM_User"),
    QStringLiteral("OLM_Update")};

const QStringList deletedColumns{
    QStringLiteral("id_mark_mag"), QStringLiteral("id_group"), QStringLiteral("id_student"),
    QStringLiteral("id_examination"), QStringLiteral("id_estimation"), QStringLiteral("id_discipline"),
    QStringLiteral("id_semester"), QStringLiteral("id_teacher"), QStringLiteral("p35"), QStringLiteral("p36"),
    QStringLiteral("id_f_est"), QStringLiteral("oper"), QStringLiteral("u_date"), QStringLiteral("Check_ch"),
    QStringLiteral("del_date"), QStringLiteral("del_oper")};

QList<ContractRelation> contractRelationList()
{
    const auto l = [](std::initializer_list<const char *> names) {
        QStringList list;
        for (const char *name : names)
            list.append(QString::fromLatin1(name));
        return list;
    };
    return {
        {"group", l({"id_group", "p20"})},
        {"group_form", l({"id_group", "p20", "o_z", "id_login"})},
        {"g_sem", l({"id_group", "id_semester", "p43", "id_rate"})},
        {"s_g", l({"id_group", "id_student", "s_fio"})},
        {"s_fio", l({"id_student", "s_fio"})},
        {"t_fio", l({"id_teacher", "t_fio"})},
        {"est2", l({"id_estimation", "p31", "id_examination"})},
        {"semester", l({"id_semester", "p43"})},
        {"f_est", l({"id_f_e", "p109"})},
        {"discipline", l({"id_discipline", "p34"})},
        {"examination", {}},
        {"gr_sem_disc_exam", l({"id_group", "id_semester", "id_discipline", "id_examination", "p34", "p30"})},
        {"g_s", l({"id_group", "spec", "id_speciality"})},
        {"g_r_y", l({"id_group", "id_rate", "p32"})},
        {"EstimationOther", l({"id_estimation_other", "Estimation_Other", "id_ebe_var"})},
        {"com_sfe", l({"id_ebe_var", "id_speciality"})},
        {"educ_sh", {}},
        {"del_mark_mag", deletedColumns},
        {"mark_mag", journalColumns},
        {"OLM_LOG", l({"table", "row_id", "descr", "OLM_User", "comp"})},
    };
}

struct ContractProcedure {
    const char *name;
    QStringList parameters;
    QStringList results; ///< empty: nothing read
};

QList<ContractProcedure> contractProcedureList()
{
    return {
        {"GET_USER",
         {QStringLiteral("@login"), QStringLiteral("@password"), QStringLiteral("@new_password"),
          QStringLiteral("@program"), QStringLiteral("@address"), QStringLiteral("@computer"),
          QStringLiteral("@login_again"), QStringLiteral("@flag"), QStringLiteral("@new_password_length")},
         {QStringLiteral("db_login"), QStringLiteral("db_password"), QStringLiteral("id_login"),
          QStringLiteral("days_left"), QStringLiteral("message"), QStringLiteral("update_flag")}},
        {"SORT_2_MARK_MAG", {QStringLiteral("@group"), QStringLiteral("@semester"), QStringLiteral("@student")},
         journalColumns},
        {"InsertInto_SORT_MARK_MAG_2",
         {QStringLiteral("@group"), QStringLiteral("@semester"), QStringLiteral("@student"), QStringLiteral("@mode")},
         {}},
        {"DEL_FROM_MARK_MAG", {QStringLiteral("@id_mark_mag")}, {}},
        {"CTRL_Z_Mark_mag", {QStringLiteral("@group"), QStringLiteral("@semester")}, {}},
    };
}

// The journal's fields and the deleted-rows fields as SQL Server types.
const QHash<QString, QString> &journalTypes()
{
    static const QHash<QString, QString> types = [] {
        QHash<QString, QString> t;
        for (const QString &column : journalColumns + deletedColumns)
            t.insert(column, QStringLiteral("INT"));
        t.insert(QStringLiteral("primech"), QStringLiteral("NVARCHAR(50)"));
        t.insert(QStringLiteral("dopusk_izm"), QStringLiteral("BIT"));
        t.insert(QStringLiteral("p35"), QStringLiteral("NVARCHAR(50)"));
        t.insert(QStringLiteral("p36"), QStringLiteral("DATETIME"));
        t.insert(QStringLiteral("oper"), QStringLiteral("NVARCHAR(5)"));
        t.insert(QStringLiteral("u_date"), QStringLiteral("DATETIME"));
        t.insert(QStringLiteral("OLM_User"), QStringLiteral("NVARCHAR(20)"));
        t.insert(QStringLiteral("OLM_Update"), QStringLiteral("DATE"));
        t.insert(QStringLiteral("Check_ch"), QStringLiteral("BIT"));
        t.insert(QStringLiteral("del_date"), QStringLiteral("DATETIME"));
        t.insert(QStringLiteral("del_oper"), QStringLiteral("NCHAR(10)"));
        return t;
    }();
    return types;
}

QString sourcePath(const QString &relative)
{
    return QDir(QStringLiteral(OLM_SOURCE_DIR)).filePath(relative);
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList scriptFiles()
{
    const QDir folder(sourcePath(QStringLiteral("server/mssql")));
    QStringList files;
    for (const QString &name : folder.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    return files;
}

// The batches of a script: sqlcmd ends one at every line that holds GO alone.
QStringList batchesOf(const QString &script)
{
    static const QRegularExpression go(QStringLiteral(R"(^[ \t]*GO[ \t]*\r?$)"),
                                       QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QStringList batches;
    for (const QString &batch : script.split(go))
        if (!batch.trimmed().isEmpty())
            batches.append(batch);
    return batches;
}

QList<Token> significant(const QString &text, QString *error)
{
    QList<Token> tokens;
    const auto all = olm::tsql::tokenize(text, error);
    if (all) {
        for (const Token &token : *all)
            if (token.isSignificant())
                tokens.append(token);
    }
    return tokens;
}

// The string literals of a C++ source, escapes as written.
QStringList cppStringLiterals(const QString &source)
{
    static const QRegularExpression quoted(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QStringList literals;
    for (auto it = quoted.globalMatch(source); it.hasNext();)
        literals.append(it.next().captured(1));
    return literals;
}

// The text values of a script, each on a line of its own.
QString scriptTextValues(const QString &relative, QString *error)
{
    QString values;
    for (const Token &token : significant(readText(sourcePath(relative)), error))
        if (token.kind == TokenKind::NString || token.kind == TokenKind::String)
            values += token.stringValue() + QLatin1Char('\n');
    return values;
}

struct Relation {
    QStringList columns;
    QHash<QString, QString> types;
};

struct Routine {
    QStringList parameters;
    QHash<QString, QString> parameterTypes;
    QStringList results; ///< the select list of the body's last statement-level SELECT
};

// What the scripts create, read from their tokens; problems are breaches of SQL Server's batch rules.
struct Catalog {
    QHash<QString, Relation> relations; // tables and views
    QHash<QString, Routine> procedures;
    QSet<QString> otherObjects;         // functions, triggers, sequences
    QStringList problems;
};

class BatchReader {
public:
    BatchReader(const QList<Token> &tokens, Catalog &catalog, const QString &where)
        : m_t(tokens), m_catalog(catalog), m_where(where) {}

    void read()
    {
        checkStructure();
        for (qsizetype i = 0; i + 2 < m_t.size(); ++i) {
            if (!m_t[i].isWord("CREATE"))
                continue;
            qsizetype k = i + 1;
            if (m_t[k].isWord("OR") && k + 1 < m_t.size() && m_t[k + 1].isWord("ALTER"))
                k += 2;
            if (k + 1 >= m_t.size())
                break;
            const Token &kind = m_t[k];
            qsizetype next = k + 1;
            const QString name = dottedName(&next);
            const bool alone = kind.isWord("VIEW") || kind.isWord("PROCEDURE") || kind.isWord("PROC")
                || kind.isWord("FUNCTION") || kind.isWord("TRIGGER");
            if (alone && i != 0)
                problem(QStringLiteral("CREATE %1 %2 is not the first statement of its batch").arg(kind.text, name));
            if (kind.isWord("TABLE"))
                m_catalog.relations.insert(name, table(next));
            else if (kind.isWord("VIEW"))
                m_catalog.relations.insert(name, view(next));
            else if (kind.isWord("PROCEDURE") || kind.isWord("PROC"))
                m_catalog.procedures.insert(name, procedure(next));
            else if (kind.isWord("FUNCTION") || kind.isWord("TRIGGER") || kind.isWord("SEQUENCE"))
                m_catalog.otherObjects.insert(name);
        }
    }

private:
    void problem(const QString &text) { m_catalog.problems.append(m_where + QStringLiteral(": ") + text); }

    QString dottedName(qsizetype *i) const
    {
        QString name;
        while (*i < m_t.size() && m_t[*i].isIdentifier()) {
            name = m_t[*i].name();
            if (*i + 1 < m_t.size() && m_t[*i + 1].isSymbol("."))
                *i += 2;
            else {
                ++*i;
                break;
            }
        }
        return name;
    }

    // Items separated by commas at depth 0 from i on, until a stop word at depth 0 or the closing bracket.
    QList<QList<Token>> items(qsizetype *i, const QStringList &stopWords) const
    {
        QList<QList<Token>> list{{}};
        int depth = 0;
        for (; *i < m_t.size(); ++*i) {
            const Token &t = m_t[*i];
            if (t.isSymbol("("))
                ++depth;
            else if (t.isSymbol(")") && --depth < 0)
                break;
            if (depth == 0) {
                if (t.isSymbol(";"))
                    break;
                bool stop = false;
                for (const QString &word : stopWords)
                    stop = stop || t.isWord(word.toLatin1().constData());
                if (stop)
                    break;
                if (t.isSymbol(",")) {
                    list.append(QList<Token>());
                    continue;
                }
            }
            list.last().append(t);
        }
        return list;
    }

    static QString typeText(const QList<Token> &item, qsizetype from)
    {
        static const QStringList ends{QStringLiteral("NULL"), QStringLiteral("NOT"), QStringLiteral("CONSTRAINT"),
                                      QStringLiteral("IDENTITY"), QStringLiteral("COLLATE"), QStringLiteral("DEFAULT"),
                                      QStringLiteral("PRIMARY"), QStringLiteral("OUTPUT"), QStringLiteral("=")};
        QString type;
        for (qsizetype j = from; j < item.size(); ++j) {
            if (ends.contains(item[j].text.toUpper()))
                break;
            type += item[j].text.toUpper();
        }
        return type;
    }

    Relation table(qsizetype i) const
    {
        Relation relation;
        if (i >= m_t.size() || !m_t[i].isSymbol("("))
            return relation;
        ++i;
        static const QStringList notColumns{QStringLiteral("CONSTRAINT"), QStringLiteral("PRIMARY"),
                                            QStringLiteral("UNIQUE"), QStringLiteral("FOREIGN"),
                                            QStringLiteral("CHECK"), QStringLiteral("INDEX")};
        for (const QList<Token> &item : items(&i, {})) {
            if (item.isEmpty() || !item.first().isIdentifier()
                || (item.first().kind == TokenKind::Word && notColumns.contains(item.first().text.toUpper())))
                continue;
            relation.columns.append(item.first().name());
            relation.types.insert(item.first().name(), typeText(item, 1));
        }
        return relation;
    }

    // The output names of a select list: the alias after AS, or the column's own (last) name.
    QStringList selectList(qsizetype i) const
    {
        QStringList names;
        for (const QList<Token> &item : items(&i, {QStringLiteral("FROM")})) {
            QString name;
            for (qsizetype j = 0; j < item.size(); ++j) {
                if (item[j].isIdentifier() && !item[j].isWord("AS"))
                    name = item[j].name();
                if (item[j].isSymbol("*"))
                    name = QStringLiteral("*");
            }
            names.append(name);
        }
        return names;
    }

    Relation view(qsizetype i) const
    {
        Relation relation;
        if (i + 1 < m_t.size() && m_t[i].isWord("AS") && m_t[i + 1].isWord("SELECT"))
            relation.columns = selectList(i + 2);
        return relation;
    }

    Routine procedure(qsizetype i) const
    {
        Routine routine;
        for (const QList<Token> &item : items(&i, {QStringLiteral("AS"), QStringLiteral("WITH")})) {
            if (item.isEmpty() || item.first().kind != TokenKind::Variable)
                continue;
            routine.parameters.append(item.first().text);
            routine.parameterTypes.insert(item.first().text, typeText(item, 1));
        }
        for (qsizetype j = m_t.size() - 1; j > i; --j) {
            if (m_t[j].isWord("SELECT") && (m_t[j - 1].isSymbol(";") || m_t[j - 1].isWord("BEGIN"))) {
                routine.results = selectList(j + 1);
                break;
            }
        }
        return routine;
    }

    // Rules SQL Server enforces that a reader can see: balanced brackets and blocks, a semicolon before THROW
    // and before a common table expression, and nothing newer than SQL Server 2016 SP1.
    void checkStructure()
    {
        static const QStringList newer{QStringLiteral("STRING_AGG"), QStringLiteral("TRIM"), QStringLiteral("CONCAT_WS"),
                                       QStringLiteral("TRANSLATE"), QStringLiteral("GREATEST"), QStringLiteral("LEAST"),
                                       QStringLiteral("DATETRUNC"), QStringLiteral("GENERATE_SERIES"),
                                       QStringLiteral("APPROX_COUNT_DISTINCT"), QStringLiteral("STRING_ESCAPE")};
        int brackets = 0, blocks = 0;
        for (qsizetype i = 0; i < m_t.size(); ++i) {
            const Token &t = m_t[i];
            const Token *previous = i > 0 ? &m_t[i - 1] : nullptr;
            const Token *next = i + 1 < m_t.size() ? &m_t[i + 1] : nullptr;
            brackets += t.isSymbol("(") ? 1 : t.isSymbol(")") ? -1 : 0;
            if (brackets < 0)
                problem(QStringLiteral("')' without '('"));
            if ((t.isWord("BEGIN") && !(next && (next->isWord("TRAN") || next->isWord("TRANSACTION"))))
                || t.isWord("CASE"))
                ++blocks;
            if (t.isWord("END") && --blocks < 0)
                problem(QStringLiteral("END without BEGIN or CASE"));
            const bool statementStart = !previous || previous->isSymbol(";") || previous->isWord("BEGIN");
            if (t.isWord("THROW") && !statementStart)
                problem(QStringLiteral("THROW does not follow a semicolon"));
            if (t.isWord("WITH") && next && next->isIdentifier() && i + 3 < m_t.size() && m_t[i + 2].isWord("AS")
                && m_t[i + 3].isSymbol("(") && !statementStart)
                problem(QStringLiteral("a common table expression does not follow a semicolon"));
            if (t.kind == TokenKind::Word && newer.contains(t.text.toUpper()) && next && next->isSymbol("("))
                problem(QStringLiteral("%1 needs a SQL Server newer than 2016").arg(t.text));
        }
        if (brackets != 0)
            problem(QStringLiteral("unbalanced brackets"));
        if (blocks != 0)
            problem(QStringLiteral("unbalanced BEGIN/CASE and END"));
    }

    const QList<Token> &m_t;
    Catalog &m_catalog;
    QString m_where;
};

void readScript(const QString &text, const QString &where, Catalog &catalog)
{
    int number = 0;
    for (const QString &batch : batchesOf(text)) {
        ++number;
        QString error;
        const QList<Token> tokens = significant(batch, &error);
        const QString place = QStringLiteral("%1, batch %2").arg(where).arg(number);
        if (!error.isEmpty()) {
            catalog.problems.append(place + QStringLiteral(": ") + error);
            continue;
        }
        BatchReader(tokens, catalog, place).read();
    }
}

const Catalog &kit()
{
    static const Catalog catalog = [] {
        Catalog c;
        for (const QString &file : scriptFiles())
            readScript(readText(file), QFileInfo(file).fileName(), c);
        return c;
    }();
    return catalog;
}

} // namespace

class TestMssqlKit : public QObject {
    Q_OBJECT

private slots:
    void scriptsLexAndKeepBatchRules();
    void checkerFindsBreaches_data();
    void checkerFindsBreaches();
    void contractRelations_data();
    void contractRelations();
    void journalColumnTypes();
    void contractProcedures_data();
    void contractProcedures();
    void proceduresMatchEmbeddedServer();
    void clientStatementsLexAndNameKitObjects();
    void messagesMatchEmbeddedServer();
    void demoTextsMatchEmbeddedDemo();
};

void TestMssqlKit::scriptsLexAndKeepBatchRules()
{
    const QStringList files = scriptFiles();
    QVERIFY2(files.size() >= 8, qPrintable(QStringLiteral("%1 scripts found").arg(files.size())));
    const QString readme = readText(sourcePath(QStringLiteral("server/mssql/README.md")));
    for (const QString &file : files) {
        const QString text = readText(file);
        QVERIFY2(text.startsWith(QLatin1String("-- ")), qPrintable(file + QStringLiteral(" has no header comment")));
        QVERIFY2(readme.contains(QFileInfo(file).fileName()), qPrintable(file + QStringLiteral(" is not in README.md")));
        QString error;
        QVERIFY2(olm::tsql::tokenize(text, &error), qPrintable(file + QStringLiteral(": ") + error));
    }
    QVERIFY2(kit().problems.isEmpty(), qPrintable(kit().problems.join(QLatin1Char('\n'))));
}

void TestMssqlKit::checkerFindsBreaches_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("problem");
    QTest::newRow("procedure after a statement") << QStringLiteral("PRINT 'x';\nCREATE PROCEDURE dbo.p AS SELECT 1;\nGO\n")
                                                 << QStringLiteral("not the first statement");
    QTest::newRow("throw without semicolon") << QStringLiteral("BEGIN TRY SELECT 1 THROW 50000, N'x', 1; END TRY BEGIN CATCH END CATCH")
                                             << QStringLiteral("THROW");
    QTest::newRow("open block") << QStringLiteral("IF 1 = 1 BEGIN SELECT CASE WHEN 1 = 1 THEN 1 END;\nGO\n")
                                << QStringLiteral("BEGIN/CASE");
    QTest::newRow("newer function") << QStringLiteral("SELECT STRING_AGG(name, ',') FROM sys.objects;")
                                     << QStringLiteral("newer than 2016");
    QTest::newRow("unclosed literal") << QStringLiteral("SELECT N'open;\nGO\n") << QStringLiteral("Unclosed quotation");
    QTest::newRow("cte without semicolon") << QStringLiteral("DECLARE @a INT = 1\nWITH x AS (SELECT 1 AS y) SELECT y FROM x;")
                                           << QStringLiteral("common table expression");
}

void TestMssqlKit::checkerFindsBreaches()
{
    QFETCH(QString, script);
    QFETCH(QString, problem);
    Catalog catalog;
    readScript(script, QStringLiteral("sample"), catalog);
    QVERIFY2(catalog.problems.join(QLatin1Char('\n')).contains(problem), qPrintable(catalog.problems.join(QLatin1Char('\n'))));
    // The scripts' own kind of batch passes.
    Catalog clean;
    readScript(QStringLiteral("IF 1 = 1\nBEGIN\n    THROW 50000, N'x', 1;\nEND;\nGO\nCREATE OR ALTER PROCEDURE dbo.p @a INT AS\n"
                              "BEGIN\n    SELECT CASE WHEN @a = 1 THEN 1 END AS b;\nEND;\nGO\n"),
               QStringLiteral("clean"), clean);
    QVERIFY2(clean.problems.isEmpty(), qPrintable(clean.problems.join(QLatin1Char('\n'))));
    QCOMPARE(clean.procedures.value(QStringLiteral("p")).parameters, QStringList{QStringLiteral("@a")});
    QCOMPARE(clean.procedures.value(QStringLiteral("p")).results, QStringList{QStringLiteral("b")});
}

void TestMssqlKit::contractRelations_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("columns");
    for (const ContractRelation &relation : contractRelationList())
        QTest::newRow(relation.name) << QString::fromLatin1(relation.name) << relation.columns;
}

void TestMssqlKit::contractRelations()
{
    QFETCH(QString, name);
    QFETCH(QStringList, columns);
    QVERIFY2(kit().relations.contains(name), qPrintable(name + QStringLiteral(" is not created")));
    const QStringList made = kit().relations.value(name).columns;
    for (const QString &column : columns)
        QVERIFY2(made.contains(column), qPrintable(QStringLiteral("%1 lacks %2 (has %3)").arg(name, column, made.join(u','))));
}

void TestMssqlKit::journalColumnTypes()
{
    // The order of mark_mag's columns is the journal's field order, so that "select *" and the procedure agree.
    QCOMPARE(kit().relations.value(QStringLiteral("mark_mag")).columns, journalColumns);
    for (const char *table : {"mark_mag", "del_mark_mag"}) {
        const Relation relation = kit().relations.value(QString::fromLatin1(table));
        for (const QString &column : relation.columns)
            QCOMPARE(relation.types.value(column), journalTypes().value(column));
    }
}

void TestMssqlKit::contractProcedures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<QStringList>("results");
    for (const ContractProcedure &procedure : contractProcedureList())
        QTest::newRow(procedure.name) << QString::fromLatin1(procedure.name) << procedure.parameters << procedure.results;
}

void TestMssqlKit::contractProcedures()
{
    QFETCH(QString, name);
    QFETCH(QStringList, parameters);
    QFETCH(QStringList, results);
    QVERIFY2(kit().procedures.contains(name), qPrintable(name + QStringLiteral(" is not created")));
    const Routine routine = kit().procedures.value(name);
    QCOMPARE(routine.parameters, parameters);
    if (!results.isEmpty())
        QCOMPARE(routine.results, results);
}

void TestMssqlKit::proceduresMatchEmbeddedServer()
{
    // Both servers take the same arguments: same names, order and kinds (an integer, or a text).
    for (const ContractProcedure &contract : contractProcedureList()) {
        const auto *embedded = olm::server::findProcedure(QString::fromLatin1(contract.name));
        QVERIFY(embedded);
        const Routine routine = kit().procedures.value(QString::fromLatin1(contract.name));
        QCOMPARE(routine.parameters.size(), embedded->parameters.size());
        for (qsizetype i = 0; i < routine.parameters.size(); ++i) {
            const auto &parameter = embedded->parameters.at(i);
            QCOMPARE(routine.parameters.at(i), parameter.name);
            const QString type = routine.parameterTypes.value(parameter.name);
            if (parameter.type == QMetaType::Int)
                QCOMPARE(type, QStringLiteral("INT"));
            else
                QVERIFY2(type.startsWith(QLatin1String("NVARCHAR(")), qPrintable(parameter.name + QLatin1Char(' ') + type));
        }
    }
}

void TestMssqlKit::clientStatementsLexAndNameKitObjects()
{
    QList<ClientText> texts = clientStatementTexts(QStringLiteral(OLM_SOURCE_DIR));
    QVERIFY2(texts.size() >= 15, qPrintable(QStringLiteral("only %1 statement texts found").arg(texts.size())));
    // Whole statements as the client builds them, quotes in the values included.
    texts.append({QStringLiteral("getUserStatement"),
                  getUserStatement(QStringLiteral("O'Brien"), DigestHex(QStringLiteral("x")), newPasswordArgument(QStringLiteral("y")),
                                   QStringLiteral("10.0.0.7"), QStringLiteral("ПК'1"))});
    texts.append({QStringLiteral("markListText"), JournalRules::markListText(2)});
    QSet<QString> known;
    for (auto it = kit().relations.cbegin(); it != kit().relations.cend(); ++it)
        known.insert(it.key().toLower());
    for (auto it = kit().procedures.cbegin(); it != kit().procedures.cend(); ++it)
        known.insert(it.key().toLower());
    int named = 0;
    for (const ClientText &client : std::as_const(texts)) {
        QString error;
        QString text = client.text;
        // A piece that opens a quoted value ends where the value is appended.
        if (!olm::tsql::tokenize(text, &error) && text.endsWith(QLatin1Char('\'')))
            text += QStringLiteral("v'");
        error.clear();
        const QList<Token> tokens = significant(text, &error);
        QVERIFY2(error.isEmpty(), qPrintable(client.file + QStringLiteral(": ") + client.text + QStringLiteral(": ") + error));
        for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
            if (!(tokens[i].isWord("FROM") || tokens[i].isWord("JOIN") || tokens[i].isWord("INTO")
                  || tokens[i].isWord("EXEC") || tokens[i].isWord("UPDATE")) || !tokens[i + 1].isIdentifier())
                continue;
            qsizetype j = i + 1;
            while (j + 2 < tokens.size() && tokens[j + 1].isSymbol(".") && tokens[j + 2].isIdentifier())
                j += 2;
            const QString object = tokens[j].name();
            QVERIFY2(known.contains(object.toLower()),
                     qPrintable(QStringLiteral("%1 names %2, which the scripts do not create: %3").arg(client.file, object, client.text)));
            ++named;
        }
    }
    QVERIFY(named >= 15);
    // The procedure names the data module calls by ("SORT_2_MARK_MAG;1").
    static const QRegularExpression called(QStringLiteral("\"([A-Za-z_0-9]+);1\""));
    const QString module = readText(sourcePath(QStringLiteral("data/Unit1.cpp")));
    int procedures = 0;
    for (auto it = called.globalMatch(module); it.hasNext(); ++procedures) {
        const QString name = it.next().captured(1);
        QVERIFY2(kit().procedures.contains(name), qPrintable(name));
    }
    QCOMPARE(procedures, 3);
}

void TestMssqlKit::messagesMatchEmbeddedServer()
{
    // The procedures answer in the embedded server's words: every sentence its sign-in and journal procedures
    // refuse with stands in the T-SQL procedures, the values aside.
    QString error;
    const QString said = scriptTextValues(QStringLiteral("server/mssql/05_procedures.sql"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    int compared = 0;
    for (const char *file : {"server/ProcSignIn.cpp", "server/ProcJournal.cpp"}) {
        for (const QString &sentence : cppStringLiterals(readText(sourcePath(QString::fromLatin1(file))))) {
            if (!sentence.endsWith(QLatin1Char('.')) || sentence.count(QLatin1Char(' ')) < 3)
                continue;
            for (const QString &piece : sentence.split(placeholder)) {
                if (piece.size() < 6)
                    continue;
                QVERIFY2(said.contains(piece), qPrintable(QStringLiteral("%1: \"%2\" is not in 05_procedures.sql").arg(QLatin1String(file), piece)));
                ++compared;
            }
        }
    }
    QVERIFY(compared >= 10);
}

void TestMssqlKit::demoTextsMatchEmbeddedDemo()
{
    // Every name of the embedded demo (groups, students, teachers, disciplines, marks, messages) is in the
    // SQL Server demo as a text value.
    QString error;
    const QStringList values = scriptTextValues(QStringLiteral("server/mssql/08_demo.sql"), &error).split(QLatin1Char('\n'));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    int compared = 0;
    for (const QString &text : cppStringLiterals(readText(sourcePath(QStringLiteral("server/DemoData.cpp"))))) {
        if (!text.contains(cyrillic) || text.contains(QLatin1Char('%')) || text.contains(QLatin1Char('\'')))
            continue;
        QVERIFY2(values.contains(text), qPrintable(text + QStringLiteral(" is not in 08_demo.sql")));
        ++compared;
    }
    QVERIFY(compared >= 60);
}

OLM_TEST_GUILESS_MAIN(TestMssqlKit)
#include "tst_mssql_kit.moc"
