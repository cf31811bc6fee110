// The Find and Replace bar under the editor: what to find, what to put in its
// place, match case and whole words, and a line that tells what happened.
#pragma once

#include <QWidget>

#include "app/text_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvil {

class ScriptEditor;

class FindReplaceBar : public QWidget {
    Q_OBJECT
public:
    explicit FindReplaceBar(ScriptEditor* editor, QWidget* parent = nullptr);

    // Shows the bar (with the replacement row or without) and puts the keyboard
    // focus in the search field, filled with the editor's selection if it
    // lies on one line.
    void openFind();
    void openReplace();

    // Select the next or previous match, going round the end of the text;
    // they open the bar when there is nothing to find yet.
    bool findNext();
    bool findPrevious();
    // Replaces the selected match and selects the next one.
    void replaceOne();
    // Replaces every match as one edit that one Undo takes back.
    void replaceAll();

    SearchOptions options() const;

signals:
    // What a search or replacement did, for the status bar.
    void messageShown(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void open(bool withReplacement);
    // From the selection's end (its start while typing, so the match can
    // grow) or, backward, from its start.
    bool find(bool backward, bool whileTyping);
    void showMessage(const QString& message);
    void close();

    ScriptEditor* m_editor;
    QLineEdit* m_findText;
    QLineEdit* m_replaceText;
    QCheckBox* m_matchCase;
    QCheckBox* m_wholeWords;
    QLabel* m_message;
    QList<QWidget*> m_replaceRow;
    QAction* m_closeFromEditor;
};

}  // namespace tarvil
