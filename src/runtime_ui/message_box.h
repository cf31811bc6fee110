// The run's message box: the warning box titled "Tarvil" with an OK button.
#pragma once

#include <QString>

class QWidget;

namespace tarvil {

// Shows `text` verbatim (never as rich text) in an application-modal warning
// box over `owner` and returns when the user has closed it.
void ShowWarningBox(QWidget* owner, const QString& text);

}  // namespace tarvil
