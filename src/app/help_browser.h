// The help window: the language reference and the help on using help.
#pragma once

#include <QDialog>
#include <QHash>

class QTextBrowser;

namespace tarvil {

// "Types and declarations" → "types-and-declarations", as the page's links name sections.
QString SectionSlug(const QString& heading);

// The keyword index of a help page: each word of the "Keyword index" table (in
// capitals) and the section its row links to.
QHash<QString, QString> KeywordSections(const QString& markdown);

class HelpBrowser : public QDialog {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // Shows a help page of the resources (":/help/...md").
    void showPage(const QString& resource);
    QTextBrowser* browser() const { return m_browser; }
    // Scrolls to the heading a "#section-name" link names; false when there is none.
    bool goToSection(const QString& fragment);
    // Shows the language reference where it describes `word` (any letter
    // case), the word selected; at its start for a word it does not describe.
    bool showKeyword(const QString& word);

private:
    QTextBrowser* m_browser;
    QString m_page;      // the resource shown
    QString m_markdown;  // and its text
};

}  // namespace tarvil
