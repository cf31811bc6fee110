// The splash shown at start-up for eight seconds, in Italian or English by the
// locale's language.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QTimer;

namespace tarvil {

enum class SplashLanguage { Italian, English };

// The locale setting that decides: LC_ALL, else LC_MESSAGES, else LANG (an
// empty variable counts as unset). Empty when none is set.
QString LocaleSetting(const char* lcAll, const char* lcMessages, const char* lang);

// The three-letter code of the setting's language ("ita" for it_IT.UTF-8).
// A missing setting, "C" and "POSIX" read as the default "ita"; a language
// that cannot be told gives an empty code.
QString LanguageCode(const QString& setting);

// Italian exactly when the code is "ita".
SplashLanguage ChooseSplashLanguage(const char* lcAll, const char* lcMessages, const char* lang);
SplashLanguage SplashLanguageFromEnvironment();

class SplashDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShowMilliseconds = 8000;

    SplashDialog(QWidget* owner, SplashLanguage language);

    // Shows the splash over the owner's editor area and hides it once
    // `milliseconds` have passed, or at the first click or key press.
    void showFor(int milliseconds = kShowMilliseconds);

    SplashLanguage language() const { return m_language; }
    // The splash's texts, top to bottom.
    QStringList texts() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Places the splash at its offset from the top left of the owner's editor
    // area (below the menu and tool bars), inside the screen.
    void placeOverOwner();
    void hideSplash();

    SplashLanguage m_language;
    QTimer* m_timer = nullptr;
    QPointer<QWidget> m_owner;
};

}  // namespace tarvil
