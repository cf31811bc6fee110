#include "app/document_autosave.h"

#include <QTextDocument>

namespace tarvil {

DocumentAutosave::DocumentAutosave(RecoveryStore& store, QTextDocument* document, Snapshot snapshot,
                                   QObject* parent)
    : QObject(parent), m_store(store), m_document(document), m_snapshot(std::move(snapshot)) {
    for (QTimer* timer : {&m_quiet, &m_longest}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &DocumentAutosave::write);
    }
    setDelays(kQuietDelayMs, kLongestDelayMs);
    connect(document, &QTextDocument::contentsChanged, this, &DocumentAutosave::changed);
    connect(document, &QTextDocument::modificationChanged, this, [this](bool modified) {
        if (modified) {
            changed();
        } else {
            discard();
        }
    });
}

void DocumentAutosave::setDelays(int quietMs, int longestMs) {
    m_quiet.setInterval(quietMs);
    m_longest.setInterval(longestMs);
}

void DocumentAutosave::changed() {
    if (!m_document->isModified()) return;
    m_quiet.start();
    if (!m_longest.isActive()) m_longest.start();
}

void DocumentAutosave::write() {
    m_quiet.stop();
    m_longest.stop();
    if (m_document->isModified()) {
        m_store.write(m_snapshot());
    } else {
        m_store.remove();
    }
}

void DocumentAutosave::writeNow() {
    if (m_document->isModified()) write();
}

void DocumentAutosave::discard() {
    m_quiet.stop();
    m_longest.stop();
    m_store.remove();
}

}  // namespace tarvil
