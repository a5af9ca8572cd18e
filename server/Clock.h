// The server's notion of "now": one seam so that tests can move time (password ages, stamps).
#pragma once

#include <QDateTime>

#include <functional>

namespace olm::server {

/// Local date and time as the server sees it.
QDateTime serverNow();
/// Replaces the clock; an empty function restores the system clock.
void setServerClock(std::function<QDateTime()> clock);

} // namespace olm::server
