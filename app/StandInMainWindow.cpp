// The stand-in main window: the sign-in at creation, then a window that shows who signed in.
#include "app/StandInMainWindow.h"

#include "app/Unit10.h"
#include "toolkit/ui/Application.h"
#include "toolkit/ui/Dialogs.h"

#include <QLabel>

#include <memory>

TStandInMainWindow::TStandInMainWindow(QWidget *parent) : QMainWindow(parent), m_session(new QLabel(this))
{
    if (Application)
        setWindowTitle(Application->Title());
    m_session->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_session);
    resize(640, 400);
    FormCreate();
}

TStandInMainWindow::~TStandInMainWindow() = default;

void TStandInMainWindow::FormCreate()
{
    auto form = std::make_unique<TForm8>(this);
    if (ShowModal(form.get()) == mrCancel && Application)
        Application->Terminate();
    form.reset();
}

void TStandInMainWindow::setLoginName(const QString &name)
{
    LoginName = name;
    m_session->setText(name);
}

void TStandInMainWindow::setLoginId(int id)
{
    LoginId = id;
}
