#pragma once

class Database;

namespace Schema {

// Highest schema version this server knows.
int latestVersion();

// Version recorded in the file; 0 for a new, empty file.
int currentVersion(Database &db);

// Brings the file up to latestVersion(), one transaction per step. Throws
// DbError when the file was written by a newer server.
void migrate(Database &db);
// Removes every table of the server (a PostgreSQL --reset; SQLite deletes the file).
void dropAll(Database &db);

} // namespace Schema
