// Finding a piece of text in the script, as the Find and Replace bar does.
#pragma once

#include <QList>
#include <QString>

namespace tarvil {

struct SearchOptions {
    bool matchCase = false;
    // Only where the match is not part of a longer word (letters, digits and
    // the underscore make words, as they make the script's names).
    bool wholeWords = false;
};

// Where `needle` first occurs in `text`: forward, the first match starting at
// or after `from`; backward, the last match starting before `from`. -1 when
// there is none (or the needle is empty).
qsizetype FindText(QStringView text, QStringView needle, qsizetype from, SearchOptions options,
                   bool backward = false);

// Where every match starts, front to back; matches do not overlap.
QList<qsizetype> FindAllText(QStringView text, QStringView needle, SearchOptions options);

}  // namespace tarvil
