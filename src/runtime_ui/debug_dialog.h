// The debug dialog of the Debug statement: the line number and the script's
// variables, with Continue (1) and Stop (2).
#pragma once

#include <QDialog>
#include <span>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarvil {

class DebugDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kContinue = 1;
    static constexpr int kStop = 2;

    // `lines` are shown in the order given (the engine hands them over sorted).
    DebugDialog(QWidget* owner, unsigned line, std::span<const std::string> lines);

    QLineEdit* lineField() const { return m_line; }
    QListWidget* variableList() const { return m_list; }
    QPushButton* continueButton() const { return m_continue; }
    QPushButton* stopButton() const { return m_stop; }

public slots:
    // Escape and the close box answer Stop.
    void reject() override { done(kStop); }

private:
    QLineEdit* m_line = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_continue = nullptr;
    QPushButton* m_stop = nullptr;
};

// Runs the dialog modally over `owner`; 1 for Continue, 2 for Stop.
int RunDebugDialog(QWidget* owner, unsigned line, std::span<const std::string> lines);

}  // namespace tarvil
