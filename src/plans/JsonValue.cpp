#include "JsonValue.h"

const JsonValue* JsonValue::member(QStringView key) const
{
    for (qsizetype i = keys.size() - 1; i >= 0; --i) {
        if (keys.at(i) == key) {
            return &items[static_cast<size_t>(i)];
        }
    }
    return nullptr;
}
