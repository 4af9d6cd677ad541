#include "BrelioServices/SQLiteConnection.h"

CSQLiteTransaction::CSQLiteTransaction(CSQLiteConnection& db) : m_db(db) {
    m_db.Exec(L"BEGIN IMMEDIATE");
    m_open = true;
}

CSQLiteTransaction::~CSQLiteTransaction() {
    if (!m_open) return;
    try {
        m_db.Exec(L"ROLLBACK");
    } catch (int) {
        // Closing the connection rolls back what is left open.
    }
}

void CSQLiteTransaction::Commit() {
    m_db.Exec(L"COMMIT");
    m_open = false;
}
