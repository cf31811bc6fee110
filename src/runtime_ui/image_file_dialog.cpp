#include "runtime_ui/image_file_dialog.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <array>

namespace tarvil {

namespace {
// The dialog's first size in the font's average characters and lines.
constexpr int kWidthInCharacters = 120;
constexpr int kHeightInLines = 28;
// The share of the screen the dialog may take.
constexpr double kScreenShare = 0.9;
// Only the first rows of a large folder are measured, as Qt's own
// resize-to-contents does.
constexpr int kRowsMeasured = 1000;
// Name, size, type, date.
constexpr int kColumns = 4;
// The fewest characters of a name the name column keeps room for.
constexpr int kLeastNameCharacters = 16;

QRect AvailableArea(const QWidget& widget) {
    const QWidget* near = widget.parentWidget() != nullptr ? widget.parentWidget() : &widget;
    const QScreen* screen = near->screen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

// Keeps the detail view's columns as wide as what they show: measured each
// time a folder has been read, the dialog widened (within the screen) when
// they need more room, and the name column given the rest whenever the view
// changes size.
class FileColumnFitter : public QObject {
public:
    FileColumnFitter(QFileDialog& dialog, QTreeView& view)
        : QObject(&view), m_dialog(dialog), m_view(view), m_viewport(view.viewport()) {
        m_viewport->installEventFilter(this);
    }

    void fitToFolder() {
        measure();
        int needed = 0;
        for (int column = 0; column < kColumns; ++column) needed += m_needed[column];
        const int shortBy = needed - m_view.viewport()->width();
        const QRect screen = AvailableArea(m_dialog);
        if (shortBy > 0 && m_dialog.isVisible() && !screen.isEmpty()) {
            const int width = std::min(m_dialog.width() + shortBy,
                                       static_cast<int>(screen.width() * kScreenShare));
            if (width > m_dialog.width()) {
                // Grown on both sides, so that it stays centred where it was
                // put, and kept on the screen.
                const QRect frame = m_dialog.frameGeometry();
                const int left = frame.left() - (width - m_dialog.width()) / 2;
                const int right = left + frame.width() + width - m_dialog.width() - 1;
                const int shift =
                    std::max(screen.left() - left, std::min(0, screen.right() - right));
                m_dialog.resize(width, m_dialog.height());
                m_dialog.move(left + shift, frame.top());
            }
        }
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The viewport also has events while the view is being destroyed,
        // when the view must no longer be asked anything.
        if (event->type() == QEvent::Resize && watched == m_viewport) apply();
        return QObject::eventFilter(watched, event);
    }

private:
    void measure() {
        const QAbstractItemModel* model = m_view.model();
        const QHeaderView* header = m_view.header();
        const QModelIndex root = m_view.rootIndex();
        const int rows = model != nullptr ? std::min(model->rowCount(root), kRowsMeasured) : 0;
        for (int column = 0; column < kColumns && column < header->count(); ++column) {
            int width = header->sectionSizeHint(column);
            for (int row = 0; row < rows; ++row) {
                width = std::max(width,
                                 m_view.sizeHintForIndex(model->index(row, column, root)).width());
            }
            m_needed[column] = header->isSectionHidden(column) ? 0 : width;
        }
        m_measured = true;
    }

    void apply() {
        if (!m_measured) return;
        QHeaderView* header = m_view.header();
        int others = 0;
        for (int column = 1; column < kColumns && column < header->count(); ++column) {
            if (header->isSectionHidden(column)) continue;
            header->resizeSection(column, m_needed[column]);
            others += m_needed[column];
        }
        // Where the screen leaves too little room, the name gives way (shown
        // shortened in the middle) down to a few characters; then the view
        // scrolls across.
        const int least =
            std::min(m_needed[0], m_view.fontMetrics().averageCharWidth() * kLeastNameCharacters);
        header->resizeSection(0, std::max(least, m_view.viewport()->width() - others));
    }

    QFileDialog& m_dialog;
    QTreeView& m_view;
    QObject* const m_viewport;
    std::array<int, kColumns> m_needed{};
    bool m_measured = false;
};

}  // namespace

QStringList ImageFileFilters() {
    return {QStringLiteral("Images (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.webp *.gif)"),
            QStringLiteral("Windows BMP (*.bmp)"), QStringLiteral("All files (*)")};
}

void SetImageFileFilters(QFileDialog& dialog) {
    const QStringList filters = ImageFileFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.constFirst());
    // File names are case-sensitive here, the patterns are not.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

void FitFileDialogColumns(QFileDialog& dialog) {
    const QFontMetrics metrics(dialog.font());
    QSize size(metrics.averageCharWidth() * kWidthInCharacters,
               metrics.lineSpacing() * kHeightInLines);
    size = size.expandedTo(dialog.sizeHint());
    const QRect screen = AvailableArea(dialog);
    if (!screen.isEmpty()) size = size.boundedTo(screen.size() * kScreenShare);
    dialog.resize(size);

    auto* model = dialog.findChild<QFileSystemModel*>();
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (model == nullptr || view == nullptr) return;
    // The view is the fitter's parent: both go with the dialog.
    auto* fitter = new FileColumnFitter(dialog, *view);
    // The folder's rows reach the view after this signal: measured once they have.
    QObject::connect(model, &QFileSystemModel::directoryLoaded, fitter, [fitter] {
        QTimer::singleShot(0, fitter, [fitter] { fitter->fitToFolder(); });
    });
}

}  // namespace tarvil
