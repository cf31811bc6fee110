// GETFILENAME's dialog: the filters as their texts say, images first, matching
// any letter case, and every column of what it lists readable.
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "runtime_ui/desktop_host.h"
#include "runtime_ui/image_file_dialog.h"

using namespace tarvil;

namespace {

void WriteFile(const QString& path, qsizetype bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(QByteArray(bytes, 'x'));
}

// The names the detail view lists, in its order.
QStringList ListedNames(const QTreeView& view) {
    QStringList names;
    const QAbstractItemModel* model = view.model();
    for (int row = 0; row < model->rowCount(view.rootIndex()); ++row) {
        if (!view.isRowHidden(row, view.rootIndex())) {
            names << model->index(row, 0, view.rootIndex()).data().toString();
        }
    }
    names.sort();
    return names;
}

// Whether every file's size, type and date have been read (a folder has no size).
bool EveryColumnFilled(const QTreeView& view) {
    const auto* model = qobject_cast<const QFileSystemModel*>(view.model());
    if (model == nullptr || model->rowCount(view.rootIndex()) == 0) return false;
    for (int row = 0; row < model->rowCount(view.rootIndex()); ++row) {
        const bool folder = model->isDir(model->index(row, 0, view.rootIndex()));
        for (int column = folder ? 2 : 1; column < model->columnCount(view.rootIndex()); ++column) {
            if (model->index(row, column, view.rootIndex()).data().toString().isEmpty()) {
                return false;
            }
        }
    }
    return true;
}

// The first text of the view from column `first` on that its column is too
// narrow for, or "".
QString FirstCutText(const QTreeView& view, int first = 0) {
    const QAbstractItemModel* model = view.model();
    for (int row = 0; row < model->rowCount(view.rootIndex()); ++row) {
        for (int column = first; column < model->columnCount(view.rootIndex()); ++column) {
            if (view.header()->isSectionHidden(column)) continue;
            const QModelIndex index = model->index(row, column, view.rootIndex());
            if (view.sizeHintForIndex(index).width() > view.columnWidth(column)) {
                return index.data().toString();
            }
        }
    }
    return {};
}

// Files of each kind, named in mixed letter case.
const QStringList bmp{QStringLiteral("B.BMP"), QStringLiteral("a.bmp"), QStringLiteral("c.Bmp")};
const QStringList others{QStringLiteral("d.png"),  QStringLiteral("E.JPG"),
                         QStringLiteral("f.Jpeg"), QStringLiteral("g.tif"),
                         QStringLiteral("H.TIFF"), QStringLiteral("i.webp"),
                         QStringLiteral("J.Gif")};
const QStringList neither{QStringLiteral("bmp"), QStringLiteral("e.bmpx"), QStringLiteral("k.txt"),
                          QStringLiteral("l.png.bak")};

}  // namespace

class ImageFileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void filtersReadAsWrittenWithImagesFirst() {
        QFileDialog dialog;
        ConfigureImageFileDialog(dialog, QStringLiteral("Pick one"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Pick one"));
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
        const QString images =
            QStringLiteral("Images (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.webp *.gif)");
        QCOMPARE(dialog.nameFilters(), (QStringList{images, QStringLiteral("Windows BMP (*.bmp)"),
                                                    QStringLiteral("All files (*)")}));
        QCOMPARE(dialog.selectedNameFilter(), images);
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types != nullptr);
        QCOMPARE(types->currentText(), images);
    }

    // What each filter lists, chosen in the dialog's own list of types as a
    // user does: image names of any letter case, folders always.
    void eachFilterListsItsFilesOfAnyCase_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QStringList>("expected");
        const auto sorted = [](QStringList names) {
            names << QStringLiteral("pictures");
            names.sort();
            return names;
        };
        QTest::newRow("images") << 0 << sorted(bmp + others);
        QTest::newRow("bmp") << 1 << sorted(bmp);
        QTest::newRow("all") << 2 << sorted(bmp + others + neither);
    }

    void eachFilterListsItsFilesOfAnyCase() {
        QFETCH(int, filter);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const QStringList& names : {bmp, others, neither}) {
            for (const QString& name : names) WriteFile(dir.filePath(name), 100);
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pictures")));

        QFileDialog dialog;
        ConfigureImageFileDialog(dialog, QStringLiteral("Pick one"));
        dialog.setDirectory(dir.path());
        dialog.show();
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(types != nullptr && view != nullptr);
        types->setCurrentIndex(filter);
        emit types->activated(filter);
        QCOMPARE(dialog.selectedNameFilter(), ImageFileFilters().at(filter));
        QTRY_COMPARE(ListedNames(*view), expected);
    }

    void listsImageFilesInReadableColumns() {
        QTemporaryDir dir;
        const QString longName = QStringLiteral("the harbour at dusk, second try.bmp");
        for (const QString& name :
             {QStringLiteral("a.bmp"), QStringLiteral("B.BMP"), QStringLiteral("c.Bmp"), longName,
              QStringLiteral("d.png"), QStringLiteral("bmp"), QStringLiteral("e.bmpx")}) {
            WriteFile(dir.filePath(name), 20000);
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pictures")));

        QFileDialog dialog;
        ConfigureImageFileDialog(dialog, QStringLiteral("Pick one"));
        dialog.setDirectory(dir.path());
        dialog.show();
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(view != nullptr);
        const QStringList expected{QStringLiteral("B.BMP"),    QStringLiteral("a.bmp"),
                                   QStringLiteral("c.Bmp"),    QStringLiteral("d.png"),
                                   QStringLiteral("pictures"), longName};
        QTRY_COMPARE(ListedNames(*view), expected);
        QTRY_VERIFY(EveryColumnFilled(*view));
        // Name, size ("19.53 KiB"), type and date are shown whole, side by side.
        QTRY_COMPARE(FirstCutText(*view), QString());
        QTRY_VERIFY(view->header()->length() <= view->viewport()->width());
        const QSize screen = dialog.screen()->availableGeometry().size();
        QVERIFY(dialog.width() <= screen.width() && dialog.height() <= screen.height());
    }

    void aNameTooLongForTheScreenGivesWay() {
        QTemporaryDir dir;
        const QString name = QString(150, u'n') + QStringLiteral(".bmp");
        WriteFile(dir.filePath(name), 20000);
        QFileDialog dialog;
        ConfigureImageFileDialog(dialog, QStringLiteral("Pick one"));
        dialog.setDirectory(dir.path());
        dialog.show();
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(view != nullptr);
        QTRY_COMPARE(ListedNames(*view), QStringList{name});
        QTRY_VERIFY(EveryColumnFilled(*view));
        // Size, type and date stay whole beside a shortened name.
        QTRY_COMPARE(FirstCutText(*view, 1), QString());
        QTRY_VERIFY(view->header()->length() <= view->viewport()->width());
        QVERIFY(view->columnWidth(0) >= view->fontMetrics().horizontalAdvance(QString(8, u'n')));
        const QRect screen = dialog.screen()->availableGeometry();
        QVERIFY(screen.contains(dialog.geometry()));
    }
};

int main(int argc, char** argv) {
    // Qt's file dialogs keep their column widths in the user's settings: every
    // run starts from none, as a new user does.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    QApplication app(argc, argv);
    ImageFileDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "image_file_dialog_test.moc"
