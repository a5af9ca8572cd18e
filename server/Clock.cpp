// The server's clock seam.
#include "Clock.h"

namespace olm::server {

namespace {
std::function<QDateTime()> &clockFunction()
{
    static std::function<QDateTime()> clock;
    return clock;
}
} // namespace

QDateTime serverNow()
{
    const auto &clock = clockFunction();
    return clock ? clock() : QDateTime::currentDateTime();
}

void setServerClock(std::function<QDateTime()> clock)
{
    clockFunction() = std::move(clock);
}

} // namespace olm::server
