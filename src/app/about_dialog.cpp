#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/app_icons.h"
#include "runtime_ui/dialog_units.h"

namespace tarvil {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Tarvil"));
    const DialogUnits du(font());
    setFixedSize(du.size(293, 153));

    auto* icon = new QLabel(this);
    icon->setPixmap(MakeIcon(AppIcon::Application).pixmap(32, 32));
    icon->setGeometry(du.x(11), du.y(17), 32, 32);

    auto* name = new QLabel(QStringLiteral("Tarvil Version 1.7"), this);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    name->setFont(bold);
    name->setGeometry(du.rect(48, 14, 230, 14));

    auto* description = new QLabel(
        QStringLiteral("Linguaggio di script per l'elaborazione di immagini bitmap."), this);
    description->setGeometry(du.rect(48, 34, 238, 10));

    auto* details =
        new QLabel(tr("Scripts load, create, change and save 1, 4, 8 and 24 bit BMP images,\n"
                      "from files or from the clipboard. Help Index describes the language."),
                   this);
    details->setGeometry(du.rect(48, 56, 238, 40));
    details->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.rect(236, 128, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tarvil
