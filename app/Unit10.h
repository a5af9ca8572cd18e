// The sign-in window TForm8: a borderless dialog over a background picture with the login and password
// edits, the password-change area below, and the loading of the data module's lists after a sign-in.
#pragma once

#include "app/SignIn.h"
#include "app/SignInHost.h"
#include "toolkit/ui/Graphics.h"
#include "toolkit/ui/Keys.h"

#include <QDialog>
#include <QPoint>

class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QToolButton;
class TADOConnection;
class TIdIPWatch;

// The window passes the session values on to its host and keeps LoginId for the group list.
class TForm8 : public QDialog, private TSignInWindow, private TSignInHost {
    Q_OBJECT
public:
    /// host receives LoginName and LoginId of a successful sign-in (not owned; may be null).
    explicit TForm8(TSignInHost *host, QWidget *parent = nullptr);
    ~TForm8() override;

    // Controls, named as on the form.
    QLabel *Image1;
    QLabel *Image2;
    QLabel *Label1;
    QLabel *RzLabel1;
    QProgressBar *ProgressBar;
    QLineEdit *Login_Edit;
    QLineEdit *Password_Edit;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QToolButton *SpeedButton2;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton3;
    TIdIPWatch *IdIPWatch1;
    QTimer *Timer1;

    /// Uses of the sign-in button since the window was created; wraps from 255 to 0.
    quint8 AttemptCount = 0;
    /// The password-change area is open.
    bool ChangeMode = false;

    void FormCreate();
    void EditAllKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void Edit_serverKeyPress(QObject *Sender, QChar &Key);
    void EditAllNoBeep(QObject *Sender, QChar &Key);
    void Edit1KeyPress(QObject *Sender, QChar &Key);
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void Image1MouseDown(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Timer1Timer();

    /// Opens the data module's lists step by step with the progress bar; failures propagate.
    void LoadLists() override;
    bool SignIn(TADOConnection *Connection, const QString &NewPassword);

    /// The status label's caption as set, line breaks still single carriage returns.
    QString statusCaption() const { return m_statusCaption; }
    /// The progress bar's colour as last set (clRed once the lists are loaded).
    TColor progressBarColor() const { return m_barColor; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    quint8 attemptCount() const override { return AttemptCount; }
    QString loginText() const override;
    QString passwordText() const override;
    QString localAddress() override;
    void setStatusText(const QString &text) override;
    void clickChangeToggle() override { SpeedButton3Click(); }
    void disableChangeToggle() override;
    void runSelfUpdate(const QString &dataSource) override;
    void setLoginName(const QString &name) override;
    void setLoginId(int id) override;

    void createControls();
    void nameControls();
    void wireEvents();
    void advance();
    void setBarColor(TColor color);
    bool filterKey(QObject *edit, QKeyEvent *event);

    void followChangeMode();

    TSignInHost *m_host;
    /// A sign-in is running (set for the whole of SpeedButton2Click).
    bool m_signingIn = false;
    int m_loginId = 0;
    QString m_statusCaption;
    TColor m_barColor;
};
