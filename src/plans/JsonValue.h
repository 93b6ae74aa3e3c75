#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One value of a JSON text as JsonReader read it. Numbers keep their literal text, so that an
// integer argument such as 130 can be passed on exactly as the model wrote it.
struct JsonValue
{
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    QString text; // the literal of a number, or the decoded string
    std::vector<JsonValue> items; // array elements, or object member values
    QStringList keys; // object member names, parallel to items

    // The value of the last member named `key` (duplicate names: the last wins), or nullptr.
    const JsonValue* member(QStringView key) const;
};
