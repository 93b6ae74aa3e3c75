#include "MemoryKeychain.h"

bool MemoryKeychain::save(const QString& value, const QString& account)
{
    ++m_saves;
    if (m_refuseSaves) {
        return false;
    }
    m_items.insert(account, value);
    return true;
}

std::optional<QString> MemoryKeychain::load(const QString& account)
{
    const auto item = m_items.constFind(account);
    return item == m_items.cend() ? std::nullopt : std::optional<QString>(*item);
}

void MemoryKeychain::remove(const QString& account)
{
    m_items.remove(account);
}
