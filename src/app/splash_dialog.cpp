#include "app/splash_dialog.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/app_icons.h"
#include "runtime_ui/dialog_units.h"

namespace tarvil {

namespace {

struct SplashTexts {
    const char* subtitle;
    const char* lines[3];
};

constexpr SplashTexts kItalian{"Linguaggio di script per bitmap - Versione 1.7",
                               {"Elabora bitmap a 1, 4, 8 e 24 bit lette da file",
                                "o dagli appunti, pixel per pixel o attraverso la palette.",
                                "Ulteriori informazioni nella guida in linea."}};

// Dialog units from the top left of the owner's editor area.
constexpr int kOffsetX = 50;
constexpr int kOffsetY = 30;

constexpr SplashTexts kEnglish{
    "Bitmap scripting language - Version 1.7",
    {"Processes 1, 4, 8 and 24 bit bitmaps read from files",
     "or from the clipboard, pixel by pixel or through the palette.", "More in the online help."}};

}  // namespace

QString LocaleSetting(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && value[0] != '\0') return QString::fromLocal8Bit(value);
    }
    return {};
}

QString LanguageCode(const QString& setting) {
    // "ll_CC.codeset@modifier": the language is what comes before "_", "." or "@".
    QString name = setting;
    for (const QChar end : {u'.', u'@'}) {
        const qsizetype at = name.indexOf(end);
        if (at >= 0) name.truncate(at);
    }
    if (name.isEmpty() || name == u"C" || name == u"POSIX") return QStringLiteral("ita");
    const qsizetype underscore = name.indexOf(u'_');
    const QString language = underscore >= 0 ? name.left(underscore) : name;
    // Locale names are case-sensitive: "IT" is not Italian's code, as "ITA" is not "ita".
    if (language != language.toLower()) return {};
    const QLocale::Language known = QLocale::codeToLanguage(language);
    if (known == QLocale::AnyLanguage || known == QLocale::C) return {};
    return QLocale::languageToCode(known, QLocale::ISO639Part2);
}

SplashLanguage ChooseSplashLanguage(const char* lcAll, const char* lcMessages, const char* lang) {
    const QString code = LanguageCode(LocaleSetting(lcAll, lcMessages, lang));
    return code == u"ita" ? SplashLanguage::Italian : SplashLanguage::English;
}

SplashLanguage SplashLanguageFromEnvironment() {
    return ChooseSplashLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                                std::getenv("LANG"));
}

SplashDialog::SplashDialog(QWidget* owner, SplashLanguage language)
    : QDialog(owner, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_language(language),
      m_owner(owner) {
    setModal(false);
    setObjectName(QStringLiteral("splash"));
    // A thin border and no caption.
    setStyleSheet(QStringLiteral("#splash { border: 1px solid palette(shadow); }"));
    const DialogUnits du(font());
    setFixedSize(du.size(236, 97));

    const SplashTexts& texts = language == SplashLanguage::Italian ? kItalian : kEnglish;
    auto* icon = new QLabel(this);
    icon->setPixmap(MakeIcon(AppIcon::Application).pixmap(32, 32));
    icon->setGeometry(du.x(8), du.y(8), 32, 32);

    auto* title = new QLabel(QStringLiteral("Tarvil"), this);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    title->setGeometry(du.rect(40, 6, 190, 18));

    auto* subtitle = new QLabel(QString::fromUtf8(texts.subtitle), this);
    subtitle->setGeometry(du.rect(40, 26, 192, 20));
    subtitle->setWordWrap(true);
    subtitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bold = font();
    bold.setBold(true);
    subtitle->setFont(bold);

    for (int i = 0; i < 3; ++i) {
        auto* line = new QLabel(QString::fromUtf8(texts.lines[i]), this);
        line->setGeometry(du.rect(12, 48 + 12 * i, 216, 10));
    }

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SplashDialog::hideSplash);
    placeOverOwner();
}

void SplashDialog::showFor(int milliseconds) {
    // The time counts from now: showing a window can dispatch events, and a
    // script that starts meanwhile must not hold the splash open.
    m_timer->start(milliseconds);
    // Every click and key press of the application passes here while the
    // splash is up, and so do the owner's moves, which showing a window on X11
    // can deliver at once.
    qApp->installEventFilter(this);
    placeOverOwner();
    show();
    raise();
}

void SplashDialog::hideSplash() {
    // It is not shown again.
    qApp->removeEventFilter(this);
    m_timer->stop();
    if (isVisible()) done(1);
}

bool SplashDialog::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
            // The click or key still goes where it was meant to.
            hideSplash();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // The window manager places the main window only after it is shown.
            // Placed once the owner has laid out its bars for the new geometry.
            if (m_owner && watched == m_owner->window()) {
                QTimer::singleShot(0, this, &SplashDialog::placeOverOwner);
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void SplashDialog::placeOverOwner() {
    if (!m_owner) return;
    QWidget* window = m_owner->window();
    QWidget* area = window;
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->centralWidget()) {
        area = main->centralWidget();
    }
    const DialogUnits du(font());
    QPoint at = area->mapToGlobal(QPoint(du.x(kOffsetX), du.y(kOffsetY)));
    if (const QScreen* screen = window->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.x() + room.width() - width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.y() + room.height() - height())));
    }
    move(at);
}

QStringList SplashDialog::texts() const {
    QStringList result;
    for (const QLabel* label : findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) result << label->text();
    }
    return result;
}

}  // namespace tarvil
