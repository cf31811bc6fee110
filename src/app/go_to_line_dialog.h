// The Go To Line dialog: a line number between 1 and the last line.
#pragma once

#include <QDialog>

class QSpinBox;

namespace tarvil {

class GoToLineDialog : public QDialog {
    Q_OBJECT
public:
    GoToLineDialog(int currentLine, int lineCount, QWidget* parent = nullptr);
    int line() const;

private:
    QSpinBox* m_line;
};

}  // namespace tarvil
