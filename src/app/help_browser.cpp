#include "app/help_browser.h"

#include <QAbstractTextDocumentLayout>
#include <QDialogButtonBox>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/text_search.h"

// The help pages live in the application library's resources, which a static
// library does not register by itself.
static void RegisterHelpResources() {
    Q_INIT_RESOURCE(tarvil);
}

namespace tarvil {

HelpBrowser::HelpBrowser(QWidget* parent)
    : QDialog(parent, Qt::Window), m_browser(new QTextBrowser(this)) {
    RegisterHelpResources();
    setWindowTitle(QStringLiteral("Tarvil Help"));
    // Markdown headings carry no anchors: section links are followed here.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { goToSection(url.fragment()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(760, 640);
}

QString SectionSlug(const QString& heading) {
    QString slug;
    for (const QChar c : heading.toLower()) {
        if (c.isLetterOrNumber() || c == u'-') {
            slug += c;
        } else if (c == u' ') {
            slug += u'-';
        }
    }
    return slug;
}

bool HelpBrowser::goToSection(const QString& fragment) {
    for (QTextBlock block = m_browser->document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || SectionSlug(block.text()) != fragment)
            continue;
        QTextCursor cursor(block);
        m_browser->setTextCursor(cursor);
        const QRectF where = m_browser->document()->documentLayout()->blockBoundingRect(block);
        m_browser->verticalScrollBar()->setValue(static_cast<int>(where.top()));
        return true;
    }
    return false;
}

QHash<QString, QString> KeywordSections(const QString& markdown) {
    QHash<QString, QString> sections;
    static const QRegularExpression row(
        QStringLiteral("^\\|(.*)\\|\\s*\\[[^\\]]*\\]\\(#([a-z0-9-]+)\\)\\s*\\|\\s*$"));
    static const QRegularExpression word(QStringLiteral("`([A-Za-z_]+)`"));
    bool inIndex = false;
    for (const QString& line : markdown.split(u'\n')) {
        if (line.startsWith(QLatin1String("## "))) {
            inIndex = line.trimmed() == QLatin1String("## Keyword index");
            continue;
        }
        if (!inIndex) continue;
        const QRegularExpressionMatch match = row.match(line);
        if (!match.hasMatch()) continue;
        for (const QRegularExpressionMatch& each : word.globalMatch(match.captured(1)))
            sections.insert(each.captured(1).toUpper(), match.captured(2));
    }
    return sections;
}

bool HelpBrowser::showKeyword(const QString& word) {
    showPage(QStringLiteral(":/help/language_reference.md"));
    const QString fragment = KeywordSections(m_markdown).value(word.toUpper());
    if (fragment.isEmpty() || !goToSection(fragment)) return false;
    // The first place in the section that names the word, selected, and
    // scrolled into view below the heading when it does not show with it.
    const QTextBlock heading = m_browser->textCursor().block();
    const int level = heading.blockFormat().headingLevel();
    for (QTextBlock block = heading; block.isValid(); block = block.next()) {
        const int blockLevel = block.blockFormat().headingLevel();
        if (block != heading && blockLevel > 0 && blockLevel <= level) break;
        const qsizetype at = FindText(block.text(), word, 0, {false, true});
        if (at < 0) continue;
        QTextCursor found(block);
        found.setPosition(block.position() + static_cast<int>(at));
        found.setPosition(block.position() + static_cast<int>(at + word.size()),
                          QTextCursor::KeepAnchor);
        const int top = m_browser->verticalScrollBar()->value();
        m_browser->setTextCursor(found);
        m_browser->verticalScrollBar()->setValue(top);
        const QRectF where = m_browser->document()->documentLayout()->blockBoundingRect(block);
        const int viewHeight = m_browser->viewport()->height();
        if (where.bottom() > top + viewHeight)
            m_browser->verticalScrollBar()->setValue(static_cast<int>(where.top()) -
                                                     viewHeight / 3);
        return true;
    }
    return true;
}

void HelpBrowser::showPage(const QString& resource) {
    // Laying out a page takes a moment: the page shown is kept, and shown
    // again from its top.
    if (resource != m_page) {
        m_page = resource;
        QFile file(resource);
        if (file.open(QIODevice::ReadOnly)) {
            m_markdown = QString::fromUtf8(file.readAll());
            m_browser->setMarkdown(m_markdown);
        } else {
            m_markdown.clear();
            m_browser->setPlainText(tr("The help page %1 is missing.").arg(resource));
        }
    }
    m_browser->setTextCursor(QTextCursor(m_browser->document()));
    m_browser->verticalScrollBar()->setValue(0);
    setWindowTitle(m_browser->documentTitle().isEmpty() ? QStringLiteral("Tarvil Help")
                                                        : m_browser->documentTitle());
    show();
    raise();
    activateWindow();
}

}  // namespace tarvil
