#pragma once

#include "services/db/connection.h"

namespace torvel {

// One save as one transaction: rolled back unless it was committed, also when
// an exception leaves the save. A failing rollback must not hide the first
// error, so it is swallowed.
class TransactionGuard
{
public:
    explicit TransactionGuard(Connection &cnn) : m_cnn(cnn)
    {
        m_cnn.BeginTrans();
        m_open = true;
    }
    ~TransactionGuard() { rollback(); }
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    void commit()
    {
        m_cnn.CommitTrans();
        m_open = false;
    }
    void rollback() noexcept
    {
        if (!m_open)
            return;
        m_open = false;
        try {
            m_cnn.RollbackTrans();
        } catch (...) {
        }
    }

private:
    Connection &m_cnn;
    bool m_open = false;
};

} // namespace torvel
