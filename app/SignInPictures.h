// The sign-in window's two background pictures, drawn in code: they carry the captions of the edits and
// the faces of the caption-less buttons that lie over them.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QSize>

/// Where the controls lie over the sign-in picture, in its own coordinates.
struct TSignInPictureLayout {
    QSize size;
    QRect statusArea;
    QRect loginEdit;
    QRect passwordEdit;
    QRect signInButton;
    QRect exitButton;
    QRect changeButton;
};

/// Where the controls lie over the password-change picture, in its own coordinates.
struct TChangePictureLayout {
    QSize size;
    QRect newPasswordEdit;
    QRect confirmationEdit;
};

/// "Пользователь" and "Пароль" beside the edits, "Вход", "Отмена" and "Дополнительно" on the button faces.
QPixmap drawSignInPicture(const TSignInPictureLayout &layout);
/// The heading "Замена пароля", "Новый пароль" and "Подтверждение" beside the edits.
QPixmap drawChangePicture(const TChangePictureLayout &layout);
