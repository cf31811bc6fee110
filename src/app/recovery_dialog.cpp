#include "app/recovery_dialog.h"

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/main_window.h"
#include "runtime_ui/engine_text.h"

namespace tarvil {

namespace {

QString ShownTime(const QDateTime& time) {
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

}  // namespace

QString RecoveryNote(const RecoveryEntry& entry) {
    if (entry.path.empty()) return {};
    struct stat info {};
    if (::stat(entry.path.c_str(), &info) != 0)
        return QObject::tr("%1 no longer exists; Save writes it again.")
            .arg(RecoveryEntryName(entry));
    const QDateTime saved = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC)
                                .addMSecs(info.st_mtim.tv_nsec / 1000000);
    if (entry.written.isValid() && saved > entry.written)
        return QObject::tr("%1 was saved again (%2) after these changes were kept.")
            .arg(RecoveryEntryName(entry), ShownTime(saved));
    return {};
}

RecoveryDialog::RecoveryDialog(RecoveryStore& store, std::vector<RecoveryEntry> entries,
                               QWidget* parent)
    : QDialog(parent), m_store(store), m_entries(std::move(entries)) {
    setWindowTitle(tr("Recover Unsaved Scripts - Tarvil"));
    setObjectName(QStringLiteral("recoveryDialog"));

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
                        .pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* intro = new QLabel(tr("Tarvil ended without saving these scripts. Their last changes "
                                "were kept and can be restored."),
                             this);
    intro->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(intro, 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("recoveryList"));
    m_list->setHeaderLabels({tr("Script"), tr("Last written"), tr("Folder")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // As tall as its rows (three at least), not a fixed tall empty box.
    m_list->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("recoveryNote"));
    m_note->setWordWrap(true);
    m_oneAtATime = new QLabel(
        tr("Restore opens the selected script here; the others are offered at the next start."),
        this);
    m_oneAtATime->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_discard = buttons->addButton(tr("&Discard"), QDialogButtonBox::DestructiveRole);
    m_discard->setObjectName(QStringLiteral("discardButton"));
    QPushButton* later = buttons->addButton(tr("&Later"), QDialogButtonBox::RejectRole);
    later->setObjectName(QStringLiteral("laterButton"));
    m_restore->setDefault(true);
    connect(m_restore, &QPushButton::clicked, this, &RecoveryDialog::restoreSelected);
    connect(m_discard, &QPushButton::clicked, this, &RecoveryDialog::discardSelected);
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &RecoveryDialog::restoreSelected);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &RecoveryDialog::showNote);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_note);
    layout->addWidget(m_oneAtATime);
    layout->addWidget(buttons);

    fillList();
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    const int width = std::max(sizeHint().width(), 44 * em);
    resize(width, hasHeightForWidth() ? heightForWidth(width) : sizeHint().height());
}

void RecoveryDialog::fillList() {
    m_list->clear();
    for (const RecoveryEntry& entry : m_entries) {
        const QString folder =
            entry.path.empty()
                ? QString()
                : QDir::toNativeSeparators(QFileInfo(FromEngineText(entry.path)).absolutePath());
        auto* item = new QTreeWidgetItem(
            m_list, {RecoveryEntryName(entry), ShownTime(entry.written), folder});
        item->setToolTip(0, entry.path.empty()
                                ? RecoveryEntryName(entry)
                                : QDir::toNativeSeparators(FromEngineText(entry.path)));
    }
    // Room between the columns, and for a few rows without a tall empty list.
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (int column = 0; column < 2; ++column) {
        m_list->resizeColumnToContents(column);
        m_list->setColumnWidth(column, m_list->columnWidth(column) + em);
    }
    const int rows = std::clamp(static_cast<int>(m_entries.size()), 3, 8);
    const int rowHeight =
        m_list->topLevelItemCount() > 0 ? m_list->sizeHintForRow(0) : fontMetrics().height();
    m_list->setMinimumHeight(m_list->header()->sizeHint().height() + rows * rowHeight +
                             2 * m_list->frameWidth());
    if (!m_entries.empty()) m_list->setCurrentItem(m_list->topLevelItem(0));
    m_oneAtATime->setVisible(m_entries.size() > 1);
    m_restore->setEnabled(!m_entries.empty());
    m_discard->setEnabled(!m_entries.empty());
    showNote();
}

int RecoveryDialog::selectedRow() const {
    QTreeWidgetItem* item = m_list->currentItem();
    return item == nullptr ? -1 : m_list->indexOfTopLevelItem(item);
}

void RecoveryDialog::showNote() {
    const int row = selectedRow();
    const QString note = row < 0 ? QString() : RecoveryNote(m_entries[static_cast<size_t>(row)]);
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

void RecoveryDialog::restoreSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    m_chosen = m_entries[static_cast<size_t>(row)];
    accept();
}

void RecoveryDialog::discardSelected() {
    const int row = selectedRow();
    if (row < 0) return;
    const RecoveryEntry& entry = m_entries[static_cast<size_t>(row)];
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Tarvil"),
        tr("Discard the kept changes to %1? They cannot be restored afterwards.")
            .arg(RecoveryEntryName(entry)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    m_store.discard(entry);
    m_entries.erase(m_entries.begin() + row);
    if (m_entries.empty()) {
        reject();
        return;
    }
    fillList();
}

bool OfferRecovery(MainWindow& window, RecoveryStore& store) {
    std::vector<RecoveryEntry> entries = store.claimOrphans();
    if (entries.empty()) return false;
    RecoveryDialog dialog(store, std::move(entries), &window);
    dialog.exec();
    const std::optional<RecoveryEntry> chosen = dialog.chosen();
    if (chosen) {
        window.restoreRecovered(*chosen);
        // The changes are this instance's now. Should the file not move, it
        // stays for a later start, and this instance keeps its own copy.
        store.adopt(*chosen);
    }
    store.releaseAll();
    return chosen.has_value();
}

}  // namespace tarvil
