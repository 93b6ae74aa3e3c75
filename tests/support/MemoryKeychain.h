#pragma once

#include "platform/Keychain.h"

#include <QHash>

// A keychain in memory for unit tests; it can be told to refuse every save, as a locked or absent store does.
class MemoryKeychain : public Keychain
{
public:
    bool save(const QString& value, const QString& account) override;
    std::optional<QString> load(const QString& account) override;
    void remove(const QString& account) override;

    void setRefuseSaves(bool refuse) { m_refuseSaves = refuse; }
    int saves() const { return m_saves; }

private:
    QHash<QString, QString> m_items;
    bool m_refuseSaves = false;
    int m_saves = 0;
};
