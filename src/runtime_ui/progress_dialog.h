// The progress dialog behind DSPWHILE: a text, a percentage bar, an elapsed
// time clock and a "Stop!" button. Its first click only raises a flag the
// script reads (the script decides whether to stop); a second click, the close
// box or Escape stops the run itself, as a second Run does.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace tarvil {

// What the bar shows, in the bar's own coordinates. The rectangles follow the
// drawing rules of the bar: an outlined white frame over the whole control,
// then (in fill mode) the grey part and the white rest of the inner rectangle.
struct ProgressBarLayout {
    QRect frame;
    QRect grey;   // empty in frame mode and at 0 %
    QRect white;  // empty in frame mode
    QPoint textTopLeft;
    QString text;  // at most three characters: "%2d%%" cut
};

ProgressBarLayout LayoutProgressBar(QSize client, uint16_t percent, bool fillMode);

// "hh:mm:ss" of an elapsed time; the hours are not wrapped.
QString FormatElapsed(uint32_t milliseconds);

// Milliseconds of a steady clock, wrapping like a 32-bit tick count.
uint32_t SteadyMilliseconds();

class ProgressBarWidget : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBarWidget(QWidget* parent = nullptr);
    void setPercent(uint16_t percent);
    uint16_t percent() const { return m_percent; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint16_t m_percent = 0;
};

class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    // `owner` only places the dialog and keeps it above its window.
    ProgressDialog(QWidget* owner, std::function<uint32_t()> clock);

    // One update: the clock always, the text when it changed, the bar when the
    // percentage changed.
    void showProgress(const QByteArray& text, uint16_t percent);

    QByteArray shownText() const { return m_shownText; }
    uint16_t shownPercent() const { return m_shownPercent; }
    QString textLabelText() const;
    QString clockText() const;
    ProgressBarWidget* bar() const { return m_bar; }
    QPushButton* stopButton() const { return m_stop; }
    // The line saying that the script was asked to stop; hidden until then.
    QLabel* notice() const { return m_notice; }

signals:
    // The first click on "Stop!": the script is asked to stop.
    void stopClicked();
    // A second click, the close box or Escape: the run is to stop now.
    void stopNowRequested();

public slots:
    void reject() override {}  // Escape is handled as a key

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onStopButton();
    void requestStopNow();
    // Shows `text` on a line of its own below the clock, growing the dialog.
    void showNotice(const QString& text);
    // Widens the button to the left when its text needs more room.
    void fitStopButton();

    std::function<uint32_t()> m_clock;
    uint32_t m_startTime = 0;
    QByteArray m_shownText;
    uint16_t m_shownPercent = 0;
    QLabel* m_text = nullptr;
    QLabel* m_clockLabel = nullptr;
    ProgressBarWidget* m_bar = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_notice = nullptr;
    bool m_stopAsked = false;
    bool m_stoppingNow = false;
};

// UpdateProgress of the desktop: opens, updates and closes the dialog, keeps
// the stop request and lets pending events run.
class ProgressController {
public:
    ProgressController(std::function<QWidget*()> owner, std::function<void()> dispatch,
                       std::function<uint32_t()> clock = SteadyMilliseconds);
    ~ProgressController();
    ProgressController(const ProgressController&) = delete;
    ProgressController& operator=(const ProgressController&) = delete;

    // `text` null or empty closes the dialog. Returns the stop request.
    int Update(const char* text, uint16_t percent);

    // How the dialog stops the run itself (a second click on "Stop!", its
    // close box, Escape).
    void setStopRun(std::function<void()> stopRun) { m_stopRun = std::move(stopRun); }

    int stopRequest() const { return m_stopRequest; }
    ProgressDialog* dialog() const { return m_dialog.get(); }

private:
    std::function<QWidget*()> m_owner;
    std::function<void()> m_dispatch;
    std::function<uint32_t()> m_clock;
    std::function<void()> m_stopRun;
    std::unique_ptr<ProgressDialog> m_dialog;
    int m_stopRequest = 0;
};

// Keeps a parentless top-level window above `owner`'s window, as an owned window.
void KeepAboveOwner(QWidget* window, QWidget* owner);

}  // namespace tarvil
