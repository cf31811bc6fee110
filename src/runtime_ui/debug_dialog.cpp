#include "runtime_ui/debug_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "runtime_ui/dialog_units.h"
#include "runtime_ui/engine_text.h"
#include "runtime_ui/fixed_font.h"

namespace tarvil {

namespace {
constexpr int kIconSide = 32;
// Dialog units: where the heading right of the icon and the column titles below it begin.
constexpr int kHeadingLeft = 25;
constexpr int kColumnTitlesTop = 25;

QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry,
                 Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}
}  // namespace

DebugDialog::DebugDialog(QWidget* owner, unsigned line, std::span<const std::string> lines)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("Tarvil: Debug"));
    // A fixed-pitch font for the whole dialog, so the columns of the list line up.
    setFont(FixedPitchFont());
    const DialogUnits du(font());
    setFixedSize(du.size(249, 183));
    if (owner != nullptr) move(owner->window()->mapToGlobal(QPoint(0, 0)));

    // The icon keeps its own size, 32 pixels, as long as the heading beside it
    // and the column titles below leave room: a smaller field would cut it.
    const int iconSide = std::min(
        {kIconSide, du.x(kHeadingLeft - 1) - du.x(6), du.y(kColumnTitlesTop - 1) - du.y(6)});
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(windowIcon().pixmap(QSize(iconSide, iconSide)));
    icon->setGeometry(du.x(6), du.y(6), iconSide, iconSide);

    const int textHeight = QFontMetrics(font()).height();
    auto labelRect = [&](int x, int y, int w, int h) {
        QRect r = du.rect(x, y, w, h);
        r.setHeight(std::max(r.height(), textHeight));
        return r;
    };
    AddLabel(this, QStringLiteral("Variables state"), labelRect(kHeadingLeft, 10, 65, 8),
             Qt::AlignLeft);
    AddLabel(this, QStringLiteral("line:"), labelRect(160, 10, 20, 7), Qt::AlignRight);
    AddLabel(this, QStringLiteral("Type"), labelRect(5, kColumnTitlesTop, 19, 9), Qt::AlignLeft);
    AddLabel(this, QStringLiteral("Name"), labelRect(45, kColumnTitlesTop, 30, 7), Qt::AlignRight);
    AddLabel(this, QStringLiteral("Contents"), labelRect(85, kColumnTitlesTop, 40, 7),
             Qt::AlignLeft);

    m_line = new QLineEdit(QString::number(line), this);
    m_line->setReadOnly(true);
    QRect lineRect = du.rect(186, 8, 30, 12);
    lineRect.setHeight(std::max(lineRect.height(), m_line->sizeHint().height()));
    m_line->setGeometry(lineRect);

    m_list = new QListWidget(this);
    m_list->setGeometry(du.rect(5, 35, 240, 125));
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (const std::string& text : lines) m_list->addItem(FromEngineText(text));

    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setGeometry(du.rect(140, 165, 49, 14));
    m_stop->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, [this] { done(kStop); });

    m_continue = new QPushButton(QStringLiteral("Continue"), this);
    m_continue->setGeometry(du.rect(195, 165, 50, 14));
    m_continue->setDefault(true);
    connect(m_continue, &QPushButton::clicked, this, [this] { done(kContinue); });

    setTabOrder(m_line, m_list);
    setTabOrder(m_list, m_stop);
    setTabOrder(m_stop, m_continue);
    m_continue->setFocus();
}

int RunDebugDialog(QWidget* owner, unsigned line, std::span<const std::string> lines) {
    DebugDialog dialog(owner, line, lines);
    return dialog.exec();
}

}  // namespace tarvil
