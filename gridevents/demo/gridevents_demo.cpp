// A manual try of the grid behaviour component: a student's journal from a fresh demo database with the
// component attached and on, dressed as the journal window dresses it, and every row edit action switched on
// (copy, cut and paste pass rows between two running demos). "--screenshot file.png" saves and quits.
#include "gridevents/QZ_DBGrd_Evns.h"
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

/// The looks the journal window gives its component.
void dressLikeTheJournal(TQZDBAttributes &attrs)
{
    const auto font = [](TColor color, TFontStyles style = {}) {
        TFont f(QStringLiteral("MS Sans Serif"), 8, style);
        f.setHeight(-11);
        f.setColor(color);
        return f;
    };
    attrs.SelAttr().setColor(clSilver);
    attrs.SelAttr().setFont(font(clBlack));
    attrs.AfterPasteAttr().setColor(clInfoBk);
    attrs.AfterPasteAttr().setFont(font(clWindowText));
    attrs.DuplicateAttr().setColor(clGreen);
    attrs.DuplicateAttr().setFont(font(clWindowText));
    attrs.ErrorAttr().setColor(clRed);
    attrs.ErrorAttr().setFont(font(clWindowText));
    attrs.FocusedAttr().setColor(5197647);
    attrs.FocusedAttr().setFont(font(clWhite, fsBold));
    attrs.FixedAttr().setSelColor(clMoneyGreen);
    attrs.FixedAttr().setSelFont(font(clWindowText, fsBold));
    attrs.FixedAttr().setList({});
}

/// A list dataset of the demo database for the journal's lookup fields.
void openList(TADOQuery &list, TADOConnection &connection, const QString &statement)
{
    list.setConnection(&connection);
    list.setSQLText(statement);
    list.Open();
}

/// The first value of a statement run by the administrator, as text.
QString firstValue(olm::server::Session &admin, const QString &statement, int column = 0)
{
    const olm::server::Outcome outcome = admin.execute(statement);
    const olm::server::ResultSet *rows = outcome.firstResult();
    return rows && !rows->rows.empty() ? rows->rows.front().value(column).toString() : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication qtApp(argc, argv);
    TApplication application;
    application.setTitle(QStringLiteral("OLM 16 Учет успеваемости"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save the window to <file> and quit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(qtApp);

    const TestDatabase db;
    const auto admin = db.isValid() ? db.administrator() : nullptr;
    if (!admin) {
        std::fprintf(stderr, "no demo database: %s\n", qPrintable(db.error()));
        return 1;
    }
    // Journal rows are made by the server's procedures; pasted rows go straight into the table.
    admin->execute(QStringLiteral("INSERT INTO srv_rights (login, object, action) VALUES ('petrova', 'mark_mag', 'INSERT')"));
    // The demo's duplicate pair: one student's two rows with the same discipline and form of assessment.
    const QString pair = QStringLiteral("SELECT id_group, id_semester, id_student FROM mark_mag GROUP BY id_group, "
                                        "id_semester, id_student, id_discipline, id_examination HAVING COUNT(*) > 1");
    const QString selection = QStringLiteral(" where m.id_group = %1 and m.id_semester = %2 and m.id_student = %3")
                                  .arg(firstValue(*admin, pair, 0).toInt())
                                  .arg(firstValue(*admin, pair, 1).toInt())
                                  .arg(firstValue(*admin, pair, 2).toInt());

    TADOConnection connection;
    connection.setConnectionString(db.connectionString(
        QStringLiteral("petrova"), firstValue(*admin, QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'petrova'"))));
    // Lookup columns carry their keys through the clipboard, so pasted rows land on the same lists.
    TADOQuery disciplines, teachers, exams, marks, recordForms;
    openList(disciplines, connection, QStringLiteral("select id_discipline, p34 from discipline"));
    openList(teachers, connection, QStringLiteral("select id_teacher, t_fio from t_fio"));
    openList(exams, connection, QStringLiteral("select id_examination, p30 from examination"));
    openList(marks, connection, QStringLiteral("select id_estimation, min(p31) as p31 from est2 group by id_estimation"));
    openList(recordForms, connection, QStringLiteral("select id_f_e, p109 from f_est"));
    TADOQuery journal;
    journal.setConnection(&connection);
    journal.setSQLText(QStringLiteral("select m.id_mark_mag, m.id_group, m.id_semester, m.id_student, m.id_discipline, "
                                      "m.id_examination, m.id_estimation, m.id_teacher, m.id_f_est, m.primech, m.p35, "
                                      "m.p36 from mark_mag m")
                       + selection + QStringLiteral(" order by m.id_mark_mag"));
    journal.AddField(QStringLiteral("id_mark_mag"), ftAutoInc)->setReadOnly(true);
    for (const char *key : {"id_group", "id_semester", "id_student", "id_discipline", "id_examination", "id_estimation",
                            "id_teacher", "id_f_est"})
        journal.AddField(QString::fromLatin1(key), ftInteger);
    journal.AddField(QStringLiteral("primech"), ftString, 50);
    journal.AddField(QStringLiteral("p35"), ftString, 50);
    journal.AddField(QStringLiteral("p36"), ftDateTime);
    const struct {
        const char *field, *key;
        TADOQuery *list;
        const char *listKey, *result;
    } lookups[] = {{"discipline", "id_discipline", &disciplines, "id_discipline", "p34"},
                   {"teacher", "id_teacher", &teachers, "id_teacher", "t_fio"},
                   {"exam", "id_examination", &exams, "id_examination", "p30"},
                   {"estimation", "id_estimation", &marks, "id_estimation", "p31"},
                   {"f_est", "id_f_est", &recordForms, "id_f_e", "p109"}};
    for (const auto &l : lookups)
        journal.AddLookupField(QString::fromLatin1(l.field), ftString, 85, QString::fromLatin1(l.key), l.list,
                               QString::fromLatin1(l.listKey), QString::fromLatin1(l.result));
    TDataSource source;
    source.setDataSet(&journal);

    QWidget window;
    window.setWindowTitle(application.Title());
    window.resize(980, 360);
    auto *layout = new QVBoxLayout(&window);
    auto *grid = new TQZDBGridEh(&window);
    layout->addWidget(grid);
    auto *keys = new QLabel(QStringLiteral("Ctrl+C копировать, Ctrl+X вырезать, Ctrl+V вставить, Ctrl+Delete удалить, "
                                           "Ctrl+A выделить все строки; Ctrl+щелчок выделяет строку"),
                            &window);
    layout->addWidget(keys);
    auto *reports = new QLabel(&window);
    layout->addWidget(reports);
    grid->Color = clSilver;
    grid->Font = TFont(QStringLiteral("MS Sans Serif"), 10);
    grid->TitleFont = TFont(QStringLiteral("MS Sans Serif"), 8, fsBold);
    grid->AutoFitColWidths = true;
    grid->setOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs
                     | dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit | dgMultiSelect);
    grid->OptionsEh = dghFixed3D | dghHighlightFocus | dghClearSelection | dghEnterAsTab | dghRowHighlight | dghDialogFind;
    const struct {
        const char *field, *title;
        int width;
    } columns[] = {{"primech", "Допуск по оплате", 53}, {"discipline", "Дисциплина", 227}, {"teacher", "Преподаватель", 86},
                   {"exam", "Форм/контр.", 74}, {"estimation", "Оценка", 64}, {"f_est", "Форма ведомости", 98},
                   {"p35", "№", 64}, {"p36", "Дата сдачи", 72}};
    for (const auto &c : columns)
        grid->AddColumn(QString::fromUtf8(c.field), QString::fromUtf8(c.title), c.width)->Color = clWhite;
    // Hidden, and carried all the same: a pasted row keeps its group, semester and student.
    for (const char *key : {"id_group", "id_semester", "id_student"})
        grid->AddColumn(QString::fromLatin1(key))->Visible = false;
    grid->setDataSource(&source);

    TQZDBGridEvents events(&window);
    events.setDBGridEh(grid);
    dressLikeTheJournal(events.QZDBAttributes());
    events.setEditActions(geaCutEh | geaCopyEh | geaPasteEh | geaDeleteEh | geaSelectAllEh);
    QStringList lastReports;
    events.OnQZDBEGridError = [&lastReports, reports](QObject *, quint16 errorId) {
        lastReports.append(QString::number(errorId));
        reports->setText(QStringLiteral("OnQZDBEGridError: ") + lastReports.mid(lastReports.size() - 8).join(QLatin1Char(' ')));
    };
    // Fields made at open are the ones to watch, so the journal is open before the component is switched on.
    journal.Open();
    events.setUniqueField(journal.FieldByName(QStringLiteral("id_mark_mag")));
    events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_discipline")));
    events.DuplicateFields().Add(journal.FieldByName(QStringLiteral("id_examination")));
    events.setActive(true);
    if (!events.Active() || journal.RecordCount() < 4) {
        std::fprintf(stderr, "the demo journal did not open as expected\n");
        return 1;
    }
    journal.Last();
    events.ErrorList().Add(journal.FieldByName(QStringLiteral("id_mark_mag"))->AsString());
    journal.First();
    grid->SelectedRows().setCurrentRowSelected(true);
    journal.setRecNo(2);
    grid->setSelectedIndex(4);

    window.show();
    grid->setFocus();
    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(300, &window, [&window, file] {
            const bool saved = window.grab().save(file);
            std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
