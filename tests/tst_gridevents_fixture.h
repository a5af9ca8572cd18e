// The grid component's test fixture: a form with a grid over mark_mag rows of a fresh database and the
// component attached, shared by the tests of its looks and of its edit actions.
#pragma once

#include "gridevents/QZ_DBGrd_Evns.h"
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"

#include <QImage>
#include <QPixmap>
#include <QtTest>

#include <utility>

namespace {

// A demo user who may read and edit mark_mag; the client signs in with its database login.
const QString editorLogin = QStringLiteral("petrova");

/// The database password of a login, which the server made up when it created the login.
QString databasePassword(olm::server::Session &admin, const QString &login)
{
    const olm::server::Outcome outcome =
        admin.execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = ?"), {login});
    const olm::server::ResultSet *rows = outcome.firstResult();
    return rows && !rows->rows.empty() ? rows->rows.front().value(0).toString() : QString();
}

/// One mark_mag row of a test; p35 names the row in what the tests read back.
struct MarkRow {
    QVariant discipline;
    QVariant examination;
    QVariant p35;
    QVariant p36 = {};
};

/// What the component left on the canvas for one cell, read by the owner's drawing handler.
struct Look {
    TColor brush = clNone;
    TFont font;
    TGridDrawState state = 0;
    QRect rect;
};

/// A form with a grid over mark_mag rows of a fresh database, and the component attached to the grid.
class Journal {
public:
    explicit Journal(const QList<MarkRow> &rows, bool persistentFields = true)
    {
        if (!db.isValid()) {
            error = db.error();
            return;
        }
        const auto admin = db.administrator();
        if (!admin) {
            error = QStringLiteral("no administrator session");
            return;
        }
        auto run = [&](const QString &statement, const QVariantList &params = {}) {
            const olm::server::Outcome outcome = admin->execute(statement, params);
            if (!outcome.ok && error.isEmpty())
                error = statement + QStringLiteral(": ") + outcome.error;
        };
        run(QStringLiteral("DELETE FROM mark_mag"));
        for (const MarkRow &row : rows) {
            run(QStringLiteral("INSERT INTO mark_mag (id_group, id_semester, id_student, id_discipline, id_examination, "
                               "p35, p36) VALUES (1, 1, 1, ?, ?, ?, ?)"),
                {row.discipline, row.examination, row.p35, row.p36});
        }

        connection.setConnectionString(db.connectionString(editorLogin, databasePassword(*admin, editorLogin)));
        query.setConnection(&connection);
        query.setSQLText(QStringLiteral("select id_mark_mag, id_discipline, id_examination, p35, p36 from mark_mag "
                                        "order by id_mark_mag"));
        if (persistentFields) {
            query.AddField(QStringLiteral("id_mark_mag"), ftAutoInc);
            query.AddField(QStringLiteral("id_discipline"), ftInteger);
            query.AddField(QStringLiteral("id_examination"), ftInteger);
            query.AddField(QStringLiteral("p35"), ftString, 50);
            query.AddField(QStringLiteral("p36"), ftDateTime);
        }
        source.setDataSet(&query);

        form.resize(520, 260);
        grid = new TQZDBGridEh(&form);
        grid->setGeometry(0, 0, 520, 260);
        grid->setOptions(grid->Options | dgAlwaysShowSelection | dgMultiSelect);
        for (const auto &[name, title] : {std::pair{"id_discipline", "Дисциплина"}, std::pair{"id_examination", "Форма"},
                                          std::pair{"p35", "Номер"}}) {
            TColumnEh *column = grid->AddColumn(QString::fromUtf8(name), QString::fromUtf8(title), 120);
            column->Color = clWhite;
        }
        grid->setDataSource(&source);

        events = new TQZDBGridEvents(&form);
        events->setDBGridEh(grid);
        events->OnDrawColumnCell = [this](QObject *, const QRect &rect, int, TColumnEh *column, TGridDrawState state) {
            const TCanvas *canvas = grid->Canvas();
            looks[query.FieldByName(QStringLiteral("p35"))->AsString()][column->FieldName] =
                Look{canvas->Brush.Color, canvas->Font, state, rect};
        };
    }

    bool isValid() const { return error.isEmpty(); }
    TField *field(const char *name) const { return query.FieldByName(QString::fromUtf8(name)); }

    /// Key fields by name, in order.
    void setDuplicateFields(const QStringList &names)
    {
        events->DuplicateFields().Clear();
        for (const QString &name : names)
            events->DuplicateFields().Add(query.FieldByName(name));
    }

    /// The id text of the row named by its p35.
    QString idOf(const QString &p35)
    {
        const QString bookmark = query.Bookmark();
        QString id;
        if (query.Locate(QStringLiteral("p35"), p35))
            id = field("id_mark_mag")->AsString();
        query.setBookmark(bookmark);
        return id;
    }
    void moveTo(const QString &p35) { QVERIFY(query.Locate(QStringLiteral("p35"), p35)); }
    void select(const QString &p35)
    {
        const QString bookmark = query.Bookmark();
        moveTo(p35);
        grid->SelectedRows().setCurrentRowSelected(true);
        query.setBookmark(bookmark);
    }

    /// Paints the grid and keeps what every cell was drawn with; the picture is returned.
    QImage paint()
    {
        looks.clear();
        if (!form.isVisible()) {
            form.show();
            (void)QTest::qWaitForWindowExposed(&form);
        }
        return grid->grab().toImage();
    }
    Look look(const QString &row, const char *column) const
    {
        return looks.value(row).value(QString::fromUtf8(column));
    }

    QString error;
    TestDatabase db;
    TADOConnection connection;
    TADOQuery query;
    TDataSource source;
    QWidget form;
    TQZDBGridEh *grid = nullptr;
    TQZDBGridEvents *events = nullptr;
    QMap<QString, QMap<QString, Look>> looks;
};

#define VERIFY_JOURNAL(journal) QVERIFY2((journal).isValid(), qPrintable((journal).error))

QList<MarkRow> markRows(const QList<QVariantList> &values)
{
    QList<MarkRow> rows;
    for (const QVariantList &v : values)
        rows.append({v.value(0), v.value(1), v.value(2), v.value(3)});
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(QList<MarkRow>)
