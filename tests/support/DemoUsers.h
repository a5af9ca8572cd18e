// The demo database's sign-in users, as the server's demo data makes them.
#pragma once

namespace DemoUsers {

/// May edit; sees groups 1 to 5.
inline constexpr const char *Editor = "petrova";
inline constexpr const char *EditorPassword = "petrova1";
/// May only read.
inline constexpr const char *Reader = "sidorov";
inline constexpr const char *ReaderPassword = "sidorov1";
/// Password changed 100 days ago: expired.
inline constexpr const char *Expired = "kuznetsov";
inline constexpr const char *ExpiredPassword = "kuznetsov1";
/// Password changed 71 days ago: 19 days left, a change is due.
inline constexpr const char *Due = "smirnova";
inline constexpr const char *DuePassword = "smirnova1";
/// Blocked with a message.
inline constexpr const char *Blocked = "popov";
inline constexpr const char *BlockedPassword = "popov1";
inline constexpr const char *BlockedMessage = "Учётная запись заблокирована. Обратитесь к администратору.";

} // namespace DemoUsers
