// The main window's file actions that keep work from being lost: the watch on
// the open file for changes by other programs, and the recovery of unsaved
// changes.
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <utility>

#include "app/document_autosave.h"
#include "app/main_window.h"
#include "app/recovery_store.h"
#include "app/script_editor.h"
#include "app/script_file_watcher.h"
#include "engine/machine.h"

namespace tarvil {

QString MainWindow::documentName() const {
    return m_currentFile.isEmpty() ? QStringLiteral("Untitled")
                                   : QFileInfo(m_currentFile).fileName();
}

void MainWindow::connectFileWatcher() {
    m_watcher = new ScriptFileWatcher(this);
    m_diskNoticeRetry = new QTimer(this);
    m_diskNoticeRetry->setSingleShot(true);
    m_diskNoticeRetry->setInterval(500);
    connect(m_diskNoticeRetry, &QTimer::timeout, this, &MainWindow::answerDiskChange);
    connect(m_watcher, &ScriptFileWatcher::changedOnDisk, this, [this] {
        m_diskNotice = DiskNotice::Changed;
        answerDiskChange();
    });
    connect(m_watcher, &ScriptFileWatcher::removedFromDisk, this, [this] {
        m_diskNotice = DiskNotice::Removed;
        answerDiskChange();
    });
}

void MainWindow::answerDiskChange() {
    if (m_diskNotice == DiskNotice::None || !isVisible()) return;
    // Not over another dialog, not during a run, and not while the user
    // works in another program: asked once the window is in front again.
    if (QApplication::activeModalWidget() != nullptr || m_machine.RunInProgress ||
        !isActiveWindow()) {
        m_diskNoticeRetry->start();
        return;
    }
    const DiskNotice notice = std::exchange(m_diskNotice, DiskNotice::None);
    if (notice == DiskNotice::Removed) {
        QMessageBox::information(this, QStringLiteral("Tarvil"),
                                 tr("%1 has been deleted or moved by another program.\n"
                                    "The script stays here; save it to write the file again.")
                                     .arg(documentName()));
        // The text is no longer on disk: closing asks to save it.
        m_editor->document()->setModified(true);
        return;
    }
    const bool modified = m_editor->document()->isModified();
    const QString question = modified ? tr("%1 has been changed by another program.\n"
                                           "Reload it and lose the changes made here?")
                                      : tr("%1 has been changed by another program.\nReload it?");
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tarvil"), question.arg(documentName()),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(tr("&Reload"));
    box.button(QMessageBox::No)->setText(tr("&Keep This Text"));
    box.setDefaultButton(modified ? QMessageBox::No : QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes) {
        QString error;
        if (!loadFile(std::string(m_currentPath), &error))
            QMessageBox::warning(this, QStringLiteral("Tarvil"), error);
        return;
    }
    // Kept as it is here: the text differs from the file now.
    m_editor->document()->setModified(true);
}

void MainWindow::setRecoveryStore(RecoveryStore* store) {
    delete m_autosave;
    m_autosave = nullptr;
    if (store == nullptr) return;
    m_autosave = new DocumentAutosave(
        *store, m_editor->document(), [this] { return recoverySnapshot(); }, this);
    // A clean close leaves nothing to recover, whatever the answer to the
    // save question was.
    connect(this, &MainWindow::closed, m_autosave, &DocumentAutosave::discard);
}

RecoveryEntry MainWindow::recoverySnapshot() const {
    RecoveryEntry entry;
    entry.path = m_currentPath;
    entry.form = m_form;
    entry.text = m_editor->text();
    return entry;
}

void MainWindow::restoreRecovered(const RecoveryEntry& entry) {
    m_editor->loadText(entry.text);
    m_form = entry.form;
    setCurrentFile(entry.path);
    if (entry.path.empty()) {
        m_watcher->stop();
    } else {
        // What the file holds now is known: only later changes are told.
        QByteArray disk;
        ReadScriptFileBytes(entry.path, &disk, nullptr);
        m_watcher->watch(entry.path, disk);
    }
    m_editor->document()->setModified(true);
    statusBar()->showMessage(tr("%1: unsaved changes restored").arg(documentName()));
}

}  // namespace tarvil
