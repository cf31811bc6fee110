#include "app/text_search.h"

namespace tarvil {

namespace {

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

bool StandsAlone(QStringView text, qsizetype start, qsizetype length) {
    const qsizetype end = start + length;
    return (start == 0 || !IsWordCharacter(text[start - 1])) &&
           (end == text.size() || !IsWordCharacter(text[end]));
}

}  // namespace

qsizetype FindText(QStringView text, QStringView needle, qsizetype from, SearchOptions options,
                   bool backward) {
    if (needle.isEmpty()) return -1;
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (backward) {
        qsizetype at = from - 1;
        while (at >= 0) {
            at = text.lastIndexOf(needle, at, cs);
            if (at < 0 || !options.wholeWords || StandsAlone(text, at, needle.size())) return at;
            --at;
        }
        return -1;
    }
    qsizetype at = std::max<qsizetype>(from, 0);
    while (at <= text.size()) {
        at = text.indexOf(needle, at, cs);
        if (at < 0 || !options.wholeWords || StandsAlone(text, at, needle.size())) return at;
        ++at;
    }
    return -1;
}

QList<qsizetype> FindAllText(QStringView text, QStringView needle, SearchOptions options) {
    QList<qsizetype> starts;
    for (qsizetype at = FindText(text, needle, 0, options); at >= 0;
         at = FindText(text, needle, at + needle.size(), options)) {
        starts << at;
    }
    return starts;
}

}  // namespace tarvil
