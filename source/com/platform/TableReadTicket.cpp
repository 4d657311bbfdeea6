#include "TableReadTicket.h"

#include <QVariant>

namespace Platform {

const char *const TableReadTicket::PropertyName = "_zelt_read_generation";

TableReadTicket TableReadTicket::begin(MemTable *table)
{
    TableReadTicket ticket;
    if (!table)
        return ticket;
    ticket.m_table = table;
    ticket.m_generation = generationOf(table) + 1;
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
