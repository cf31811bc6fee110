#include "app/syntax_highlighter.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSet>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tarvil {

namespace {

const QSet<QString>& Types() {
    static const QSet<QString> words{"STRING", "FLOAT", "DEVCON", "RGB", "HBS"};
    return words;
}
const QSet<QString>& Statements() {
    static const QSet<QString> words{"DEBUG",  "SAVEIMAGE", "SETPIXELVAL", "SETPIXEL", "PREVIEW",
                                     "DSPMES", "DSPWHILE",  "FOR",         "NEXT",     "SETPALETTE",
                                     "IF",     "ELSE",      "ENDIF",       "RETURN",   "EXIT",
                                     "TO",     "STEP"};
    return words;
}
const QSet<QString>& Functions() {
    static const QSet<QString> words{
        "LOADIMAGE", "CREATEIMAGE", "GETPIXELVAL", "GETPIXEL", "GETPALETTE", "SIN", "ASIN",
        "HSIN",      "COS",         "ACOS",        "HCOS",     "SQR",        "TAN", "ATAN",
        "HTAN",      "ABS",         "EXP",         "LOG",      "BLOG",       "POW", "RAND",
        "MIN",       "MAX",         "INT",         "FILEFIND", "GETFILENAME"};
    return words;
}
const QSet<QString>& Members() {
    static const QSet<QString> words{"HDC", "HEIGHT", "WIDTH", "BITCOUNT", "RES", "CLRIMP", "LUM",
                                     "RED", "GREEN",  "BLUE",  "HUE",      "BRI", "SAT"};
    return words;
}

QTextCharFormat Format(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold) format.setFontWeight(QFont::Bold);
    format.setFontItalic(italic);
    return format;
}

double RelativeLuminance(const QColor& colour) {
    auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

constexpr double kReadableContrast = 4.5;

QColor FromHsl(int hue, double saturation, double lightness) {
    return QColor::fromHslF(static_cast<float>(hue / 360.0), static_cast<float>(saturation),
                            static_cast<float>(lightness))
        .toRgb();
}

// A colour of the given hue that reads well on `base`: it starts at a
// lightness that suits a light or a dark background and moves away from the
// background until the contrast is enough.
QColor ReadableHue(int hue, double saturation, const QColor& base) {
    const bool darkBase = RelativeLuminance(base) < 0.18;
    double lightness = darkBase ? 0.68 : 0.36;
    const double step = darkBase ? 0.02 : -0.02;
    QColor colour = FromHsl(hue, saturation, lightness);
    while (ContrastRatio(colour, base) < kReadableContrast && lightness > 0.0 && lightness < 1.0) {
        lightness = std::clamp(lightness + step, 0.0, 1.0);
        colour = FromHsl(hue, saturation, lightness);
    }
    return colour;
}

// Comments are the text colour toned down toward the background, no further
// than readability allows.
QColor ReadableMuted(const QColor& text, const QColor& base) {
    auto mix = [](float from, float to, double share) {
        return static_cast<float>(from + (to - from) * share);
    };
    for (double towardBase = 0.45; towardBase > 0.0; towardBase -= 0.05) {
        const QColor mixed = QColor::fromRgbF(mix(text.redF(), base.redF(), towardBase),
                                              mix(text.greenF(), base.greenF(), towardBase),
                                              mix(text.blueF(), base.blueF(), towardBase));
        if (ContrastRatio(mixed, base) >= kReadableContrast) return mixed.toRgb();
    }
    return text.toRgb();
}

// The palette of the widget that shows `document`, else the application's.
QPalette PaletteOf(QTextDocument* document) {
    for (QObject* owner = document->parent(); owner != nullptr; owner = owner->parent()) {
        if (auto* widget = qobject_cast<QWidget*>(owner)) return widget->palette();
    }
    return QGuiApplication::palette();
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

SyntaxColours ColoursFor(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    return {
        ReadableHue(190, 0.85, base),  // type: teal
        ReadableHue(225, 0.75, base),  // statement: blue
        ReadableHue(290, 0.60, base),  // function: purple
        ReadableHue(35, 0.80, base),   // member: brown, amber on dark
        ReadableHue(8, 0.75, base),    // string: brick red, salmon on dark
        ReadableHue(130, 0.70, base),  // number: green
        ReadableMuted(text, base),     // comment
    };
}

QList<bool> CodeCharacters(QStringView line) {
    QList<bool> code(line.size(), false);
    const qsizetype comment = line.indexOf(u'\'');
    const qsizetype codeEnd = comment < 0 ? line.size() : comment;
    bool inString = false;
    for (qsizetype i = 0; i < codeEnd; ++i) {
        if (line[i] == u'"') {
            inString = !inString;
        } else {
            code[i] = !inString;
        }
    }
    return code;
}

std::optional<qsizetype> MatchingBracket(QStringView line, qsizetype index) {
    const QList<bool> code = CodeCharacters(line);
    auto opening = [](QChar c) { return c == u'(' || c == u'['; };
    auto closing = [](QChar c) { return c == u')' || c == u']'; };
    if (index < 0 || index >= line.size() || !code[index] ||
        !(opening(line[index]) || closing(line[index])))
        return std::nullopt;
    // Pair the line's brackets innermost first; a closing bracket of the
    // wrong kind pairs with nothing.
    QList<qsizetype> open;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!code[i]) continue;
        if (opening(line[i])) {
            open << i;
        } else if (closing(line[i])) {
            const bool pairs = !open.isEmpty() && (line[open.last()] == u'(') == (line[i] == u')');
            if (pairs) {
                const qsizetype partner = open.takeLast();
                if (i == index) return partner;
                if (partner == index) return i;
            } else if (i == index) {
                return -1;
            }
        }
    }
    return -1;
}

SyntaxHighlighter::SyntaxHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document),
      m_word(QStringLiteral("[A-Za-z_]+")),
      m_numberPattern(QStringLiteral("[0-9.]+(?:[eE][+-]?[0-9]+)?")) {
    setPalette(PaletteOf(document));
}

void SyntaxHighlighter::setPalette(const QPalette& palette) {
    const SyntaxColours colours = ColoursFor(palette);
    m_type = Format(colours.type, true);
    m_statement = Format(colours.statement, true);
    m_function = Format(colours.function);
    m_member = Format(colours.member);
    m_string = Format(colours.string);
    m_number = Format(colours.number);
    m_comment = Format(colours.comment, false, true);
    rehighlight();
}

SyntaxHighlighter::WordKind SyntaxHighlighter::Classify(const QString& word) {
    const QString upper = word.toUpper();
    if (Types().contains(upper)) return WordKind::Type;
    if (Statements().contains(upper)) return WordKind::Statement;
    if (Functions().contains(upper)) return WordKind::Function;
    if (Members().contains(upper)) return WordKind::Member;
    return WordKind::Other;
}

void SyntaxHighlighter::highlightBlock(const QString& text) {
    // The first apostrophe ends the statement wherever it stands, even inside quotes.
    const qsizetype comment = text.indexOf(u'\'');
    const qsizetype codeEnd = comment < 0 ? text.size() : comment;
    if (comment >= 0)
        setFormat(static_cast<int>(comment), static_cast<int>(text.size() - comment), m_comment);

    qsizetype i = 0;
    while (i < codeEnd) {
        const QChar c = text[i];
        if (c == u'"') {
            qsizetype close = text.indexOf(u'"', i + 1);
            if (close < 0 || close >= codeEnd) close = codeEnd - 1;
            setFormat(static_cast<int>(i), static_cast<int>(close - i + 1), m_string);
            i = close + 1;
        } else if (c.isLetter() || c == u'_') {
            const auto match = m_word.match(text, i, QRegularExpression::NormalMatch,
                                            QRegularExpression::AnchorAtOffsetMatchOption);
            const qsizetype length = std::min(match.capturedLength(), codeEnd - i);
            const bool afterDot = i > 0 && text[i - 1] == u'.';
            const WordKind kind = Classify(text.mid(i, length));
            if (afterDot && kind == WordKind::Member) {
                setFormat(static_cast<int>(i), static_cast<int>(length), m_member);
            } else if (!afterDot) {
                if (kind == WordKind::Type)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_type);
                if (kind == WordKind::Statement)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_statement);
                if (kind == WordKind::Function)
                    setFormat(static_cast<int>(i), static_cast<int>(length), m_function);
            }
            i += std::max<qsizetype>(1, length);
        } else if (c.isDigit() || (c == u'.' && i + 1 < codeEnd && text[i + 1].isDigit())) {
            const auto match = m_numberPattern.match(text, i, QRegularExpression::NormalMatch,
                                                     QRegularExpression::AnchorAtOffsetMatchOption);
            const qsizetype length = std::min(match.capturedLength(), codeEnd - i);
            setFormat(static_cast<int>(i), static_cast<int>(length), m_number);
            i += std::max<qsizetype>(1, length);
        } else {
            ++i;
        }
    }
}

}  // namespace tarvil
