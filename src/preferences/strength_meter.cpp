#include "preferences/strength_meter.h"

#include "platform/password_strength.h"
#include "preferences/warning_colour.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace preferences {

namespace {

// The bar is full at 128 bits, more than any attacker can guess.
constexpr int fullBits = 128;

QString adviceFor(platform::GuessablePart part) {
    using Part = platform::GuessablePart;
    switch (part) {
    case Part::word:
        return StrengthMeter::tr("Words and names from dictionaries are guessed first.");
    case Part::disguisedWord:
        return StrengthMeter::tr("Swapping letters for look-alikes (@ for a, 0 for o) fools nobody.");
    case Part::repeat:
        return StrengthMeter::tr("Repeats such as \"aaa\" or \"abcabc\" add little.");
    case Part::sequence:
        return StrengthMeter::tr("Sequences such as \"abc\" or \"6543\" are easy to guess.");
    case Part::keyboardRow:
        return StrengthMeter::tr("Rows and patterns of keys, such as \"qwerty\", are easy to guess.");
    case Part::date:
        return StrengthMeter::tr("Dates and years are easy to guess.");
    case Part::shortRandom:
        return StrengthMeter::tr("It is too short.");
    }
    return {};
}

} // namespace

StrengthMeter::StrengthMeter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("strengthMeter"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("strengthBar"));
    m_bar->setRange(0, fullBits);
    m_bar->setTextVisible(false);
    m_bar->setMaximumHeight(fontMetrics().height() / 2 + 2);
    m_bar->setAccessibleName(tr("Password strength"));

    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("strengthTime"));
    m_time->setWordWrap(true);
    m_advice = new QLabel(this);
    m_advice->setObjectName(QStringLiteral("strengthAdvice"));
    m_advice->setWordWrap(true);
    m_weak = new QLabel(this);
    m_weak->setObjectName(QStringLiteral("strengthWarning"));
    m_weak->setWordWrap(true);

    auto* help = new QLabel(tr("The estimate assumes someone with a copy of a note who tries 10¹⁰ passwords a second "
                               "on one graphics card: each try costs one MD5 and one AES block, as the file format "
                               "adds no salt and no stretching."),
                            this);
    help->setWordWrap(true);
    help->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_bar);
    layout->addWidget(m_time);
    layout->addWidget(m_advice);
    layout->addWidget(m_weak);
    layout->addWidget(help);
    clear();
}

QString StrengthMeter::timeToGuess(double seconds) {
    const platform::GuessTime time = platform::guessTime(seconds);
    const int count = static_cast<int>(std::min<long long>(time.count, 1000000));
    using Unit = platform::GuessTime::Unit;
    switch (time.unit) {
    case Unit::lessThanASecond:
        return tr("less than a second");
    case Unit::seconds:
        return tr("about %n second(s)", nullptr, count);
    case Unit::minutes:
        return tr("about %n minute(s)", nullptr, count);
    case Unit::hours:
        return tr("about %n hour(s)", nullptr, count);
    case Unit::days:
        return tr("about %n day(s)", nullptr, count);
    case Unit::years:
        return tr("about %n year(s)", nullptr, count);
    case Unit::centuries:
        break;
    }
    return tr("centuries");
}

void StrengthMeter::estimate(const QString& password) {
    if (password.isEmpty()) {
        clear();
        return;
    }
    const platform::PasswordStrength strength = platform::estimateStrength(password);
    m_bar->setValue(std::clamp(static_cast<int>(std::lround(strength.bits)), 0, fullBits));
    m_time->setText(tr("Time to guess it offline: %1.").arg(timeToGuess(strength.secondsToGuess)));
    m_bar->setAccessibleDescription(m_time->text());
    QStringList advice;
    if (strength.weak) {
        for (const platform::GuessablePart part : strength.parts) {
            advice.append(adviceFor(part));
        }
        advice.append(tr("Add another word or two: a few uncommon words are easier to remember and harder to guess "
                         "than symbols."));
    }
    m_advice->setText(advice.join(QLatin1Char(' ')));
    m_advice->setVisible(!advice.isEmpty());
    m_isWeak = strength.weak;
    m_weak->setText(tr("Weak: this password could be guessed in less than a century. It will be used all the same."));
    m_weak->setVisible(m_isWeak);
    tint();
}

void StrengthMeter::clear() {
    m_bar->setValue(0);
    m_bar->setAccessibleDescription(QString());
    m_time->clear();
    m_advice->hide();
    m_isWeak = false;
    m_weak->hide();
    tint();
}

void StrengthMeter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        tint();
    }
}

void StrengthMeter::tint() {
    const QColor warning = warningColour(palette());
    QPalette weak = m_weak->palette();
    weak.setColor(QPalette::WindowText, warning);
    m_weak->setPalette(weak);
    // A weak password fills the bar in the warning colour, a strong one in the desktop's own highlight.
    QPalette bar = palette();
    if (m_isWeak) {
        bar.setColor(QPalette::Highlight, warning);
    }
    m_bar->setPalette(bar);
}

} // namespace preferences
