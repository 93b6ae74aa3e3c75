#pragma once

#include <QMetaEnum>
#include <QString>
#include <optional>

// The names of the cases of a Q_ENUM, read from its metadata. They are the raw values under which the
// settings and the helper programs' command lines keep the cases ("openRouter", "video"), so a case is
// never renamed.
namespace EnumNames {

template <typename E>
QString name(E value)
{
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(int(value)));
}

// The case named exactly `name` (same letter case, no scope); nothing for any other text.
template <typename E>
std::optional<E> value(const QString& name)
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    for (int i = 0; i < meta.keyCount(); ++i) {
        if (name == QLatin1StringView(meta.key(i))) {
            return E(meta.value(i));
        }
    }
    return std::nullopt;
}

} // namespace EnumNames
