#pragma once

#include "com_global.h"
#include "MemTable.h"

#include <QPointer>

namespace Platform {

// A table shows only the rows of the latest read started into it. Every read
// takes a ticket as it starts; the ticket stays current until another read
// starts into the same table, so an earlier read that ends later can tell
// that its rows are no longer wanted. The number of the latest read lives on
// the table itself (the dynamic property PropertyName), so reads of different
// units into one table see each other. User-interface thread only, like the
// table.
class COM_EXPORT TableReadTicket
{
public:
    TableReadTicket() = default;

    // Starts a read into the table; every earlier ticket of it stops being
    // current. A null table gives a ticket that is never current.
    static TableReadTicket begin(MemTable *table);
    // The number of the latest read started into the table; 0 before any.
    static quint64 generationOf(const MemTable *table);

    // nullptr once the table has been destroyed.
    MemTable *table() const { return m_table.data(); }
    quint64 generation() const { return m_generation; }
    // The table still exists and no read has started into it since.
    bool isCurrent() const;

    static const char *const PropertyName;

private:
    QPointer<MemTable> m_table;
    quint64 m_generation = 0;
};

} // namespace Platform
