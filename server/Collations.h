// The comparison rules of text and date columns, shared by every connection and by the loadable extension
// that lets a stock sqlite3 shell read and check a database file.
#pragma once

namespace olm::server {

/// Text: Unicode case-insensitive (Cyrillic included), trailing blanks ignored.
int textCompare(void *, int sizeA, const void *a, int sizeB, const void *b);
/// Dates: "2009-01-12" equals "2009-01-12 00:00:00.000"; text that is no date compares as bytes.
int dateCompare(void *, int sizeA, const void *a, int sizeB, const void *b);

} // namespace olm::server
