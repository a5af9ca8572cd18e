// The one way a text goes inside a single-quoted literal, in statements, filters and date patterns alike:
// every single quote doubled, so no text can end the literal early. Shared by the client and the server.
#pragma once

#include <QString>

namespace olm::text {

/// The text with every single quote doubled ("O'B" gives "O''B").
QString doubleSingleQuotes(const QString &text);
/// The text as a single-quoted literal: a quote, the text with its quotes doubled, a quote ("'O''B'").
QString singleQuotedLiteral(const QString &text);

} // namespace olm::text
