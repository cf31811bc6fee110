#include "runtime_ui/progress_dialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "runtime_ui/dialog_units.h"
#include "runtime_ui/engine_text.h"

namespace tarvil {

namespace {
// The shown text is kept in 256 bytes: longer texts are cut at 255 bytes,
// never inside a character.
constexpr size_t kShownTextLimit = 255;
}  // namespace

ProgressBarLayout LayoutProgressBar(QSize client, uint16_t percent, bool fillMode) {
    ProgressBarLayout layout;
    const int32_t left = 0;
    const int32_t top = 0;
    const int32_t right = client.width();
    const int32_t bottom = client.height();
    layout.frame = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));

    // Inner rectangle: one pixel in from the left and top, two from the right.
    const int32_t innerLeft = left + 1;
    const int32_t innerTop = top + 1;
    const int32_t innerRight = right - 2;
    if (fillMode) {
        const int32_t fill =
            innerLeft + (innerRight - innerLeft) * static_cast<int32_t>(percent) / 100;
        // Outline-less rectangles leave their right and bottom edge uncovered.
        layout.grey = QRect(QPoint(innerLeft, innerTop), QPoint(fill - 2, bottom - 2));
        layout.white = QRect(QPoint(fill, innerTop), QPoint(innerRight - 2, bottom - 2));
    }

    char text[16];
    std::snprintf(text, sizeof text, "%2d%%", static_cast<int>(percent));
    // Digits and the percent sign: the first three characters are three bytes.
    layout.text =
        QString::fromLatin1(text, static_cast<qsizetype>(std::min<size_t>(3, std::strlen(text))));
    layout.textTopLeft =
        QPoint(static_cast<int>(innerRight * 0.45), static_cast<int>(bottom * 0.25));
    return layout;
}

QString FormatElapsed(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2lu:%.2lu:%.2lu",
                  static_cast<unsigned long>(milliseconds / 3600000u),
                  static_cast<unsigned long>((milliseconds / 60000u) % 60u),
                  static_cast<unsigned long>((milliseconds / 1000u) % 60u));
    return QString::fromLatin1(text);
}

uint32_t SteadyMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void KeepAboveOwner(QWidget* window, QWidget* owner) {
    if (owner == nullptr) return;
    QWidget* top = owner->window();
    window->winId();  // makes the native window so it can be given an owner
    if (window->windowHandle() != nullptr && top->windowHandle() != nullptr) {
        window->windowHandle()->setTransientParent(top->windowHandle());
    }
}

ProgressBarWidget::ProgressBarWidget(QWidget* parent) : QWidget(parent) {}

void ProgressBarWidget::setPercent(uint16_t percent) {
    m_percent = percent;
    // Painted at the next look at the event loop: DSPWHILE in a fast loop
    // changes the percentage far more often than a screen can show it.
    update();
}

void ProgressBarWidget::paintEvent(QPaintEvent*) {
    // The whole control is drawn on every paint, so the fill survives being
    // covered and uncovered: the frame first, then the fill when there is one.
    QPainter painter(this);
    const ProgressBarLayout frame = LayoutProgressBar(size(), m_percent, false);
    painter.fillRect(frame.frame, Qt::white);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.frame.adjusted(0, 0, -1, -1));
    const ProgressBarLayout layout = LayoutProgressBar(size(), m_percent, m_percent != 0);
    if (!layout.grey.isEmpty()) painter.fillRect(layout.grey, Qt::gray);
    if (!layout.white.isEmpty()) painter.fillRect(layout.white, Qt::white);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(font());
    painter.drawText(layout.textTopLeft + QPoint(0, metrics.ascent()), layout.text);
}

ProgressDialog::ProgressDialog(QWidget* owner, std::function<uint32_t()> clock)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_clock(std::move(clock)) {
    setWindowTitle(QStringLiteral("Tarvil"));
    setModal(false);
    const DialogUnits du(font());
    setFixedSize(du.size(149, 62));

    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(du.size(18, 20).boundedTo(QSize(32, 32))));
    icon->setGeometry(du.rect(7, 7, 18, 20));

    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setGeometry(du.rect(35, 9, 103, 9));
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_bar = new ProgressBarWidget(this);
    m_bar->setGeometry(du.rect(34, 21, 110, 16));

    m_clockLabel = new QLabel(QStringLiteral("00:00:00"), this);
    QRect clockRect = du.rect(35, 47, 30, 7);
    clockRect.setHeight(std::max(clockRect.height(), QFontMetrics(font()).height()));
    m_clockLabel->setGeometry(clockRect);
    m_clockLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_stop = new QPushButton(QStringLiteral("Stop!"), this);
    m_stop->setGeometry(du.rect(108, 44, 37, 14));
    m_stop->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, &ProgressDialog::onStopButton);

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("stopNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->hide();

    if (owner != nullptr) {
        const QWidget* top = owner->window();
        move(top->mapToGlobal(QPoint(0, 0)) + QPoint(du.x(100), du.y(80)));
        KeepAboveOwner(this, owner);
    }
    m_startTime = m_clock();
}

QString ProgressDialog::textLabelText() const {
    return m_text->text();
}
QString ProgressDialog::clockText() const {
    return m_clockLabel->text();
}

void ProgressDialog::showProgress(const QByteArray& text, uint16_t percent) {
    m_clockLabel->setText(FormatElapsed(m_clock() - m_startTime));
    const std::string_view bytes(text.constData(), static_cast<size_t>(text.size()));
    const QByteArray shown =
        text.left(static_cast<qsizetype>(Utf8CutLength(bytes, kShownTextLimit)));
    if (shown != m_shownText) {
        m_shownText = shown;
        m_text->setText(
            FromEngineText(std::string_view(shown.constData(), static_cast<size_t>(shown.size()))));
    }
    if (percent == m_shownPercent) return;
    m_shownPercent = percent;
    m_bar->setPercent(percent);
}

void ProgressDialog::onStopButton() {
    if (m_stopAsked) {
        requestStopNow();
        return;
    }
    // The script reads the request when it calls DSPWHILE and decides what to
    // do; the button now offers to stop it without waiting for that.
    m_stopAsked = true;
    showNotice(tr("The script was asked to stop."));
    m_stop->setText(tr("Stop now"));
    m_stop->setToolTip(tr("Stop the script at once, as Ctrl+R does"));
    fitStopButton();
    emit stopClicked();
}

void ProgressDialog::requestStopNow() {
    if (m_stoppingNow) return;
    m_stoppingNow = true;
    m_stopAsked = true;
    // The run stops after its current instruction and closes the dialog.
    showNotice(tr("Stopping the script\u2026"));
    m_stop->setText(tr("Stopping\u2026"));
    m_stop->setToolTip(QString());
    m_stop->setEnabled(false);
    fitStopButton();
    emit stopNowRequested();
}

void ProgressDialog::showNotice(const QString& text) {
    const DialogUnits du(font());
    m_notice->setText(text);
    const int width = du.x(149 - 2 * 7);
    const int height = std::max(m_notice->heightForWidth(width), QFontMetrics(font()).height());
    m_notice->setGeometry(du.x(7), du.y(62), width, height);
    m_notice->show();
    setFixedSize(du.x(149), du.y(62) + height + du.y(5));
}

void ProgressDialog::fitStopButton() {
    const DialogUnits du(font());
    const QRect spec = du.rect(108, 44, 37, 14);
    const int width = std::max(spec.width(), m_stop->sizeHint().width());
    m_stop->setGeometry(spec.right() + 1 - width, spec.top(), width, spec.height());
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    // The dialog stays until the run ends, which closes it; closing it asks for that now.
    event->ignore();
    requestStopNow();
}

void ProgressDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();  // the default button's key does nothing here
            return;
        case Qt::Key_Escape:
            event->accept();
            requestStopNow();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

ProgressController::ProgressController(std::function<QWidget*()> owner,
                                       std::function<void()> dispatch,
                                       std::function<uint32_t()> clock)
    : m_owner(std::move(owner)), m_dispatch(std::move(dispatch)), m_clock(std::move(clock)) {}

ProgressController::~ProgressController() = default;

int ProgressController::Update(const char* text, uint16_t percent) {
    const bool hasText = text != nullptr && text[0] != '\0';
    if (!m_dialog && hasText) {
        m_dialog = std::make_unique<ProgressDialog>(m_owner ? m_owner() : nullptr, m_clock);
        QObject::connect(m_dialog.get(), &ProgressDialog::stopClicked,
                         [this] { m_stopRequest = 1; });
        QObject::connect(m_dialog.get(), &ProgressDialog::stopNowRequested, [this] {
            m_stopRequest = 1;
            if (m_stopRun) m_stopRun();
        });
        m_dialog->show();
        m_dialog->raise();
        m_dialog->repaint();
        m_stopRequest = 0;
    }
    if (m_dialog && !hasText) m_dialog.reset();
    if (m_dialog) m_dialog->showProgress(QByteArray(text), percent);
    if (m_dispatch) m_dispatch();
    return m_stopRequest;
}

}  // namespace tarvil
