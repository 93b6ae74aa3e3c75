#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace PageList {

// The zero-based page indices of a typed list such as "1-3, 5", in the order written; absent when the
// text is not a page list for a document of `pageCount` pages.
std::optional<QList<int>> parse(const QString& text, int pageCount);

} // namespace PageList
