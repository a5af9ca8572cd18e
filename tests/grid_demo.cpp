// A manual look at the data-aware grid: one student's journal from a fresh demo database, with lookup
// columns, a pick list and a selected row. "--screenshot file.png" saves the window and quits.
#include "server/Session.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/DBGridEh.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <tuple>

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
    const QCommandLineOption editing(QStringLiteral("editor"), QStringLiteral("Show the in-place editor too."));
    parser.addOption(editing);
    parser.process(qtApp);

    const TestDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "no demo database: %s\n", qPrintable(db.error()));
        return 1;
    }
    const auto admin = db.administrator();
    const olm::server::Outcome password =
        admin->execute(QStringLiteral("SELECT password FROM srv_db_logins WHERE name = 'petrova'"));
    if (!password.ok || !password.firstResult() || password.firstResult()->rows.empty()) {
        std::fprintf(stderr, "no demo login: %s\n", qPrintable(password.error));
        return 1;
    }

    TADOConnection connection;
    connection.setConnectionString(
        db.connectionString(QStringLiteral("petrova"), password.firstResult()->rows.front().value(0).toString()));
    auto list = [&](const char *sql) {
        auto query = std::make_unique<TADOQuery>();
        query->setConnection(&connection);
        query->setSQLText(QString::fromUtf8(sql));
        return query;
    };
    const auto disciplines = list("select * from discipline");
    const auto teachers = list("select * from t_fio");
    const auto exams = list("select * from examination");
    const auto marks = list("select * from est2");
    const auto forms = list("select * from f_est");

    TADOQuery journal;
    journal.setConnection(&connection);
    journal.setSQLText(QStringLiteral("select * from mark_mag where id_group = 1 and id_semester = 1 and id_student = 1"));
    for (const auto &[name, type, size] :
         {std::tuple{"primech", ftString, 50}, std::tuple{"dopusk_izm", ftBoolean, 0},
          std::tuple{"id_mark_mag", ftAutoInc, 0}, std::tuple{"id_examination", ftInteger, 0},
          std::tuple{"id_discipline", ftInteger, 0}, std::tuple{"id_estimation", ftInteger, 0},
          std::tuple{"id_teacher", ftInteger, 0}, std::tuple{"p35", ftString, 50}, std::tuple{"p36", ftDateTime, 0},
          std::tuple{"id_f_est", ftInteger, 0}})
        journal.AddField(QString::fromUtf8(name), type, size);
    journal.FieldByName(QStringLiteral("p36"))->setDisplayFormat(QStringLiteral("dd.mm.yyyy"));
    journal.FieldByName(QStringLiteral("p36"))->setEditMask(QStringLiteral("##/##/####"));
    auto lookup = [&](const char *name, int size, const char *key, TDataSet *source, const char *sourceKey,
                      const char *result) {
        journal.AddLookupField(QString::fromUtf8(name), ftString, size, QString::fromUtf8(key), source,
                               QString::fromUtf8(sourceKey), QString::fromUtf8(result));
    };
    lookup("discipline", 85, "id_discipline", disciplines.get(), "id_discipline", "p34");
    lookup("teacher", 60, "id_teacher", teachers.get(), "id_teacher", "t_fio");
    lookup("exam", 15, "id_examination", exams.get(), "id_examination", "p30");
    lookup("estimation", 15, "id_estimation", marks.get(), "id_estimation", "p31");
    lookup("f_est", 30, "id_f_est", forms.get(), "id_f_e", "p109");
    TDataSource source;
    source.setDataSet(&journal);

    QWidget window;
    window.setWindowTitle(application.Title());
    window.resize(980, 320);
    auto *layout = new QVBoxLayout(&window);
    auto *grid = new TQZDBGridEh(&window);
    layout->addWidget(grid);
    grid->Color = clSilver;
    grid->Font = TFont(QStringLiteral("MS Sans Serif"), 10);
    grid->TitleFont = TFont(QStringLiteral("MS Sans Serif"), 8, fsBold);
    grid->AutoFitColWidths = true;
    grid->setOptions(grid->Options | dgAlwaysShowSelection | dgMultiSelect);
    grid->OptionsEh = dghFixed3D | dghHighlightFocus | dghClearSelection | dghEnterAsTab | dghRowHighlight;
    for (const auto &[field, title, width] :
         {std::tuple{"primech", "Допуск по оплате", 53}, std::tuple{"discipline", "Дисциплина", 227},
          std::tuple{"teacher", "Преподаватель", 86}, std::tuple{"exam", "Форм/контр.", 74},
          std::tuple{"estimation", "Оценка", 64}, std::tuple{"f_est", "Форма ведомости", 98},
          std::tuple{"p35", "№", 64}, std::tuple{"p36", "Дата сдачи", 72}}) {
        TColumnEh *column = grid->AddColumn(QString::fromUtf8(field), QString::fromUtf8(title), width);
        column->Color = clWhite;
    }
    grid->Columns(0)->PickList = {QStringLiteral("д"), QStringLiteral("н/д")};
    grid->Columns(1)->ReadOnly = true;
    grid->Columns(1)->DropDownWidth = 450;
    grid->Columns(3)->ReadOnly = true;

    for (TADOQuery *query : {disciplines.get(), teachers.get(), exams.get(), marks.get(), forms.get()})
        query->Open();
    grid->setDataSource(&source);
    journal.Open();
    if (journal.RecordCount() > 2) {
        journal.setRecNo(3);
        grid->SelectedRows().setCurrentRowSelected(true);
        journal.setRecNo(2);
    }
    grid->setSelectedIndex(4);

    window.show();
    grid->setFocus();
    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        const bool withEditor = parser.isSet(editing);
        QTimer::singleShot(300, &window, [&window, grid, file, withEditor] {
            grid->LayoutChanged();
            if (withEditor)
                grid->setEditorMode(true);
            QApplication::processEvents();
            const bool saved = window.grab().save(file);
            std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
