#include "app/go_to_line_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace tarvil {

GoToLineDialog::GoToLineDialog(int currentLine, int lineCount, QWidget* parent)
    : QDialog(parent), m_line(new QSpinBox(this)) {
    setWindowTitle(tr("Go To Line"));
    m_line->setRange(1, std::max(1, lineCount));
    m_line->setValue(currentLine);
    m_line->setAccelerated(true);
    // What the user types replaces the current number.
    m_line->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Line number (1 - %1):").arg(m_line->maximum()), m_line);
    layout->addRow(buttons);
}

int GoToLineDialog::line() const {
    return m_line->value();
}

}  // namespace tarvil
