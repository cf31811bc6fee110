#include "app/help_browser.h"

#include <QAbstractTextDocumentLayout>
#include <QDialogButtonBox>
#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

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

void HelpBrowser::showPage(const QString& resource) {
    QFile file(resource);
    if (file.open(QIODevice::ReadOnly)) {
        m_browser->setMarkdown(QString::fromUtf8(file.readAll()));
    } else {
        m_browser->setPlainText(tr("The help page %1 is missing.").arg(resource));
    }
    setWindowTitle(m_browser->documentTitle().isEmpty() ? QStringLiteral("Tarvil Help")
                                                        : m_browser->documentTitle());
    show();
    raise();
    activateWindow();
}

}  // namespace tarvil
