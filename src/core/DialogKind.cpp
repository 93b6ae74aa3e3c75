#include "DialogKind.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<DialogKind, const char16_t*>, 9> rawNames{{
    {DialogKind::rename, u"rename"},
    {DialogKind::convertImage, u"convertImage"},
    {DialogKind::convertAudio, u"convertAudio"},
    {DialogKind::pdfExtract, u"pdfExtract"},
    {DialogKind::pdfMerge, u"pdfMerge"},
    {DialogKind::info, u"info"},
    {DialogKind::settings, u"settings"},
    {DialogKind::history, u"history"},
    {DialogKind::whatWillBeSent, u"whatWillBeSent"},
}};

} // namespace

namespace DialogKinds {

QString rawValue(DialogKind kind)
{
    for (const auto& [k, name] : rawNames) {
        if (k == kind) {
            return QString::fromUtf16(name);
        }
    }
    return {};
}

std::optional<DialogKind> fromRawValue(const QString& raw)
{
    for (const auto& [k, name] : rawNames) {
        if (raw == QStringView(name)) {
            return k;
        }
    }
    return std::nullopt;
}

} // namespace DialogKinds
