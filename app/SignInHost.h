// Where a successful sign-in leaves the session values: the main window implements it, so the sign-in
// window does not depend on which main window runs it.
#pragma once

#include <QString>

class TSignInHost {
public:
    virtual ~TSignInHost() = default;
    /// LoginName: the login as typed.
    virtual void setLoginName(const QString &) = 0;
    /// LoginId: the user id the server answered.
    virtual void setLoginId(int) = 0;
};
