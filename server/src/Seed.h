#pragma once

#include <QString>

class Database;

// The demo tenant: the same rows on every machine and every run (a fixed
// pseudo-random sequence, not the platform's generators).
namespace Seed {

// Fills a freshly migrated, empty database in one transaction.
void populate(Database &db);

// True once populate() has committed.
bool isPopulated(Database &db);

// Writes the demo update files that the app_files table names into the
// files folder, where they are missing; existing files are left alone.
void ensureUpdateFiles(const QString &filesDir);

} // namespace Seed
