#pragma once

struct sqlite3;

// The Jet functions the system's statements call (UCase, Switch, IIf, Mid, Year, Nz, ...) and the
// JETNOCASE collation that compares text ignoring case, Cyrillic included, as Jet does. Registered on
// every connection to a SQLite file; false when SQLite refused one of them.
bool RegisterJetFunctions(sqlite3 *db);

// The collation that the layer gives the text columns it creates.
inline constexpr const char *kJetCollation = "JETNOCASE";
