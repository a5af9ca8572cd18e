// The journal window as the program starts it, for the journal tests: a fresh demo database, the data module
// and the window signed in through the real sign-in window, with helpers to choose and to read what was sent.
#pragma once

#include "app/Unit10.h"
#include "gridevents/QZ_DBGrd_Evns.h"
#include "data/Unit1.h"
#include "journal/StatusBar.h"
#include "journal/Unit2.h"
#include "server/Database.h"
#include "tests/support/DemoUsers.h"
#include "tests/support/SignInSetup.h"
#include "tests/support/TestDatabase.h"
#include "toolkit/ui/DBLookupComboBox.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Application.h"

#include <QAbstractItemView>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {

const QString InformaticsInfo = QStringLiteral(" [Прикладная информатика] [2021/2022]");
const QString Group1 = QStringLiteral("ПИ-21");
const QString Semester1 = QStringLiteral("1 семестр");
const QString Semester2 = QStringLiteral("2 семестр");
// Third student of ПИ-21 (id 3).
const QString Student3 = QStringLiteral("Воронин Артём Игоревич");

// Chooses an item as a user does: opens the drop-down, moves to the item, presses Enter.
bool choose(TDBLookupComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (!box->isEnabled() || !box->isVisible() || index < 0)
        return false;
    box->showPopup();
    QAbstractItemView *view = box->view();
    view->setCurrentIndex(view->model()->index(index, box->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    return box->Text() == text;
}

// Ctrl held, Z and then D pressed while both stay down, all released: real key events on the grid, the restore
// chord.
inline void pressRestoreChord(TQZDBGridEh *grid)
{
    grid->setFocus();
    QTest::keyPress(grid, Qt::Key_Control);
    QTest::keyPress(grid, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyPress(grid, Qt::Key_D, Qt::ControlModifier);
    QTest::keyRelease(grid, Qt::Key_D, Qt::ControlModifier);
    QTest::keyRelease(grid, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyRelease(grid, Qt::Key_Control);
}

// Answers the sign-in window by typing the credentials and pressing Enter, or by its exit button.
int answerSignIn(QDialog *dialog, const QString &login, const QString &password)
{
    auto *form = qobject_cast<TForm8 *>(dialog);
    if (!form)
        return mrCancel;
    if (login.isEmpty()) {
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    } else {
        QTest::keyClicks(form->Login_Edit, login);
        QTest::keyClicks(form->Password_Edit, password);
        QTest::keyClick(form->Password_Edit, Qt::Key_Return);
    }
    return dialog->result();
}

// Makes itself the current folder, where the address watcher writes its history.
class CurrentFolder {
public:
    CurrentFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_folder.path()); }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    QString path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
    QString m_previous;
};

// The program as it starts: a fresh demo database, the data module, the journal window signed in.
struct Journal {
    CurrentFolder folder;
    TestDatabase db;
    SignInSetup setup;
    std::unique_ptr<TDM_YOT> dm;
    std::unique_ptr<TForm2> window;

    /// prepare runs on the database before the program starts.
    explicit Journal(const QString &login = QLatin1String(DemoUsers::Editor),
                     const QString &password = QLatin1String(DemoUsers::EditorPassword),
                     const std::function<void(olm::server::Administration &)> &prepare = {})
    {
        if (!db.isValid())
            return;
        if (prepare)
            prepare(*administration());
        dm = std::make_unique<TDM_YOT>();
        const ScopedDialogAnswers signIn(
            [&](QDialog *dialog) { return answerSignIn(dialog, login, password); });
        window = std::make_unique<TForm2>();
    }
    ~Journal()
    {
        window.reset();
        dm.reset();
    }

    std::unique_ptr<olm::server::Administration> administration() const
    {
        QString error;
        auto admin = olm::server::Administration::open(db.path(), &error);
        if (!admin)
            qWarning("administration: %s", qPrintable(error));
        return admin;
    }
    /// The first value of the first row a statement answers, as the administrator sees it.
    QVariant value(const QString &statement, const QVariantList &params = {}) const
    {
        const olm::server::Outcome outcome = administration()->execute(statement, params);
        if (!outcome.ok || !outcome.firstResult() || outcome.firstResult()->rows.empty())
            return {};
        return outcome.firstResult()->rows.front().value(0);
    }
    /// The statements the client's session sent while the trace was on, oldest first.
    QStringList traced() const
    {
        QString error;
        const auto entries = administration()->trace(&error);
        QStringList statements;
        const QString login = SignInSetup::signInUser(db.path(), QLatin1String(DemoUsers::Editor)).databaseLogin;
        for (const olm::server::TraceEntry &entry : entries.value_or(QList<olm::server::TraceEntry>())) {
            if (entry.login.compare(login, Qt::CaseInsensitive) == 0)
                statements.append(entry.statement);
        }
        return statements;
    }
    void setTrace(bool on) const
    {
        QString error;
        administration()->setTrace(on, &error);
    }
    /// Forgets what was traced so far and goes on tracing.
    void restartTrace() const
    {
        setTrace(false);
        administration()->execute(QStringLiteral("DELETE FROM srv_trace"));
        setTrace(true);
    }

    bool chooseGroup(const QString &text) const { return choose(window->DBLookupComboBox1, text); }
    bool chooseSemester(const QString &text) const { return choose(window->DBLookupComboBox2, text); }
    bool chooseStudent(const QString &text) const { return choose(window->DBLookupComboboxEh1, text); }
    bool chooseAll(const QString &group, const QString &semester, const QString &student) const
    {
        return chooseGroup(group) && chooseSemester(semester) && chooseStudent(student);
    }
    void show() const
    {
        window->showNormal();
        window->resize(1280, 800);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    TDataSet *journal() const { return dm->ADO_SP_Sort; }
    QString statusText(int index) const { return window->StatusBar1->PanelText(index); }
};

} // namespace
