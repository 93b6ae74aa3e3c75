#include "AIProviderKind.h"

using namespace Qt::StringLiterals;

namespace AIProviderKinds {

QList<AIProviderKind> all()
{
    return {AIProviderKind::openRouter, AIProviderKind::ollama, AIProviderKind::apple};
}

QString rawValue(AIProviderKind kind)
{
    switch (kind) {
    case AIProviderKind::openRouter:
        return u"openRouter"_s;
    case AIProviderKind::ollama:
        return u"ollama"_s;
    case AIProviderKind::apple:
        return u"apple"_s;
    }
    Q_UNREACHABLE();
}

std::optional<AIProviderKind> fromRawValue(const QString& raw)
{
    for (AIProviderKind kind : all()) {
        if (rawValue(kind) == raw) {
            return kind;
        }
    }
    return std::nullopt;
}

} // namespace AIProviderKinds
