// Dialog units: the layout grid the dialogs are drawn on, a quarter of the
// font's average character width across and an eighth of its height down, so
// the controls keep their proportions whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QSize>
#include <cmath>

namespace tarvil {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetricsF metrics(font);
        const QString alphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_x = metrics.horizontalAdvance(alphabet) / 52.0 / 4.0;
        m_y = metrics.height() / 8.0;
    }

    int x(int units) const { return static_cast<int>(std::lround(units * m_x)); }
    int y(int units) const { return static_cast<int>(std::lround(units * m_y)); }
    QSize size(int width, int height) const { return {x(width), y(height)}; }
    QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }

private:
    double m_x = 1.5;
    double m_y = 1.625;
};

}  // namespace tarvil
