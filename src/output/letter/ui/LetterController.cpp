#include "output/letter/ui/LetterController.h"

#include "common/CommandGuard.h"
#include "common/Launcher.h"
#include "common/ProgramLauncher.h"
#include "lang/Multilanguage.h"

#include <QAbstractButton>

namespace kalvendo {

LetterController::LetterController(QString applicationPath, std::function<Record()> shownRecord,
                                   const TMultilanguage* lng, LetterLauncher launcher,
                                   QObject* parent)
    : QObject(parent), m_applicationPath(std::move(applicationPath)),
      m_shownRecord(std::move(shownRecord)), m_lng(lng), m_launcher(std::move(launcher)) {
    if (!m_launcher.startProgram) {
        // The program-wide seams, so that tests see what would be started.
        m_launcher = systemLetterLauncher(&openExternal);
        m_launcher.startProgram = &startProgram;
    }
}

void LetterController::connectButton(QAbstractButton* button) {
    connectCommand(button, &QAbstractButton::clicked, this, [this]() { SpeedButton1Click(); });
    button->setEnabled(true);
}

QString LetterController::SpeedButton1Click() {
    const auto namedString = [this](const QString& key) {
        return m_lng ? m_lng->GetString(key) : QString();
    };
    return composeLetter(m_applicationPath, m_shownRecord(), namedString, m_launcher);
}

} // namespace kalvendo
