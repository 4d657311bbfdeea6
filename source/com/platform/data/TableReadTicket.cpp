#include "TableReadTicket.h"

#include <QVariant>

namespace Platform {

const char *const TableReadTicket::PropertyName = "_zelt_readGeneration";

namespace {

// Unique in the process, not per table, so that any two reads differ.
quint64 nextGeneration()
{
    static quint64 counter = 0; // UI thread only
    return ++counter;
}

} // namespace

TableReadTicket TableReadTicket::begin(MemTable *table)
{
    TableReadTicket ticket;
    if (!table)
        return ticket;
    ticket.m_table = table;
    ticket.m_generation = nextGeneration();
    table->setProperty(PropertyName, QVariant::fromValue(ticket.m_generation));
    return ticket;
}

quint64 TableReadTicket::generationOf(const MemTable *table)
{
    return table ? table->property(PropertyName).toULongLong() : 0;
}

bool TableReadTicket::isCurrent() const
{
    return m_table && m_generation != 0 && generationOf(m_table.data()) == m_generation;
}

} // namespace Platform
