#pragma once

#include <QSet>
#include <QString>

// Hands out names for new files that collide neither with anything on disk nor with a name it handed
// out before, ignoring letter case: "holiday (cut).mp4", then "holiday (cut) 2.mp4", and so on. A long
// base is cut so that the whole name, number and extension included, fits in 255 bytes.
class NameReserver
{
public:
    // The full path of a fresh name in `folder` for `base` and `ext` (ext may be empty).
    QString unique(const QString& base, const QString& ext, const QString& folder);

private:
    QSet<QString> m_used; // lower-cased full paths already handed out
};
