#include "PageList.h"

namespace {

bool isHorizontalSpace(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedHorizontally(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isHorizontalSpace(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isHorizontalSpace(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// A decimal page number with an optional leading "+"; nothing else (no signs, spaces or other bases).
std::optional<int> pageNumber(const QString& text)
{
    const QString digits = text.startsWith(u'+') ? text.mid(1) : text;
    if (digits.isEmpty() || digits.size() > 9) {
        return {};
    }
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return {};
        }
    }
    return digits.toInt();
}

} // namespace

namespace PageList {

std::optional<QList<int>> parse(const QString& text, int pageCount)
{
    QList<int> indices;
    for (const QString& rawPiece : text.split(u',', Qt::SkipEmptyParts)) {
        const QString piece = trimmedHorizontally(rawPiece);
        if (piece.isEmpty()) {
            continue;
        }
        QList<int> numbers;
        for (const QString& part : piece.split(u'-', Qt::SkipEmptyParts)) {
            const std::optional<int> number = pageNumber(trimmedHorizontally(part));
            if (!number || *number < 1 || *number > pageCount) {
                return {};
            }
            numbers << *number;
        }
        if (numbers.size() == 1) {
            indices << numbers.first() - 1;
        } else if (numbers.size() == 2 && numbers.at(0) <= numbers.at(1)) {
            for (int page = numbers.at(0); page <= numbers.at(1); ++page) {
                indices << page - 1;
            }
        } else {
            return {};
        }
    }
    return indices.isEmpty() ? std::nullopt : std::optional<QList<int>>(indices);
}

} // namespace PageList
