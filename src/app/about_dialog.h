// The About box: the program's name, its version and what the language is.
#pragma once

#include <QDialog>

namespace tarvil {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace tarvil
