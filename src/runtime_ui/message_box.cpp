#include "runtime_ui/message_box.h"

#include <QMessageBox>

namespace tarvil {

void ShowWarningBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarvil"), text, QMessageBox::Ok, owner);
    // A script's text may look like markup; it is shown as written.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace tarvil
