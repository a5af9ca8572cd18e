// The grid component's private clipboard format and its reading and writing through the platform.
#include "gridevents/QZ_DBGrd_Evns.h"

#include "platform/Platform.h"

#include <optional>

// Registered once, as the program starts, and kept for its life.
const QString DBEditDataFormat = olm::platform::registerClipboardFormat(QStringLiteral("Data Base Edit Data"));

namespace {

[[noreturn]] void clipboardFailed(const QString &error)
{
    throw EClipboardError(error.isEmpty() ? QStringLiteral("Cannot open clipboard.") : error);
}

} // namespace

void TQZDBGridEvents::ReadClipboardData(const QString &Format, QByteArray &Stream)
{
    QString error;
    const std::optional<QByteArray> block = olm::platform::Platform::current().clipboardRead(Format, &error);
    if (!error.isEmpty())
        clipboardFailed(error);
    if (block)
        Stream += *block;
}

void TQZDBGridEvents::WriteClipboardData(const QString &Format, const QByteArray &Stream)
{
    QString error;
    if (!olm::platform::Platform::current().clipboardWrite(Format, Stream, &error))
        clipboardFailed(error);
}
