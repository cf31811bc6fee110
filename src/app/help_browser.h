// The help window: the language reference and the help on using help.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace tarvil {

// "Types and declarations" → "types-and-declarations", as the page's links name sections.
QString SectionSlug(const QString& heading);

class HelpBrowser : public QDialog {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // Shows a help page of the resources (":/help/...md").
    void showPage(const QString& resource);
    QTextBrowser* browser() const { return m_browser; }
    // Scrolls to the heading a "#section-name" link names; false when there is none.
    bool goToSection(const QString& fragment);

private:
    QTextBrowser* m_browser;
};

}  // namespace tarvil
