#include "MemoryKeychain.h"

bool MemoryKeychain::save(const QString& value, const QString& account)
{
    const QMutexLocker lock(&m_mutex);
    ++m_saves;
    if (m_unavailable) {
        return false;
    }
    m_items.insert(account, value);
    return true;
}

KeychainRead MemoryKeychain::load(const QString& account)
{
    const QMutexLocker lock(&m_mutex);
    if (m_unavailable) {
        return {KeychainRead::State::unavailable, {}};
    }
    const auto item = m_items.constFind(account);
    return item == m_items.cend() ? KeychainRead() : storedKey(*item);
}

void MemoryKeychain::remove(const QString& account)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_unavailable) {
        m_items.remove(account);
    }
}

void MemoryKeychain::setUnavailable(bool unavailable)
{
    const QMutexLocker lock(&m_mutex);
    m_unavailable = unavailable;
}

int MemoryKeychain::saves() const
{
    const QMutexLocker lock(&m_mutex);
    return m_saves;
}
