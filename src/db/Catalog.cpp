#include "Catalog.h"

#include "Connection.h"

namespace db {

bool Catalog::Refresh() {
    m_tables.clear();
    if (!m_connection || !m_connection->isOpen()) {
        if (m_connection)
            m_connection->setError(errors::objectClosed(QStringLiteral("Tolvan.Catalog")));
        return false;
    }
    ErrorList errors;
    if (!m_connection->tables(m_tables, errors)) {
        m_connection->setErrors(errors);
        return false;
    }
    return true;
}

} // namespace db
