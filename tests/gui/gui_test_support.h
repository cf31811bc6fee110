// Helpers for the GUI tests: answering modal dialogs that a call under test opens.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace tarvil::testing {

// Calls `answer` with the first application-modal widget that shows up (checked
// every 10 ms, for at most `timeoutMs`). The answer must close it. Stopping
// the returned timer withdraws the answer.
inline QPointer<QTimer> WhenModalAppears(std::function<void(QWidget*)> answer,
                                         int timeoutMs = 5000) {
    // The application owns the timer until it has answered or given up.
    QTimer* timer = new QTimer(QCoreApplication::instance());
    auto waited = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, answer, timeoutMs] {
        *waited += 10;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return timer;
}

// What a message box showed, and the button it was closed with.
struct MessageBoxSeen {
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    QWidget* parent = nullptr;
    bool seen = false;
    QPointer<QTimer> watch;  // stop it when no box is expected after all
};

// Records the next message box and presses `button` in it.
inline std::shared_ptr<MessageBoxSeen> AnswerNextMessageBox(
    QMessageBox::StandardButton button = QMessageBox::Ok) {
    auto seen = std::make_shared<MessageBoxSeen>();
    seen->watch =
        WhenModalAppears([seen = std::weak_ptr<MessageBoxSeen>(seen), button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                modal->close();
                return;
            }
            if (auto record = seen.lock()) {
                record->seen = true;
                record->title = box->windowTitle();
                record->text = box->text();
                record->format = box->textFormat();
                record->icon = box->icon();
                record->modality = box->windowModality();
                record->parent = box->parentWidget();
            }
            if (QAbstractButton* pressed = box->button(button)) {
                pressed->click();
            } else {
                box->close();
            }
        });
    return seen;
}

}  // namespace tarvil::testing
