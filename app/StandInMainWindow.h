// A minimal main window that stands in for the journal window: its creation runs the sign-in and it keeps
// the session values, so the program starts and signs in before the journal window exists.
#pragma once

#include "app/SignInHost.h"

#include <QMainWindow>
#include <QString>

class QLabel;

class TStandInMainWindow : public QMainWindow, public TSignInHost {
    Q_OBJECT
public:
    /// Runs FormCreate: the sign-in window, shown modally, before anything else.
    explicit TStandInMainWindow(QWidget *parent = nullptr);
    ~TStandInMainWindow() override;

    /// Shows the sign-in window modally; a cancelled sign-in asks the application to terminate.
    void FormCreate();

    void setLoginName(const QString &name) override;
    void setLoginId(int id) override;

    QString LoginName;
    int LoginId = 0;

private:
    QLabel *m_session;
};
