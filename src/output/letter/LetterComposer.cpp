#include "output/letter/LetterComposer.h"

#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/SaveFile.h"
#include "settings/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace kalvendo {

namespace {

const QString kFolderPrefix = QStringLiteral("kalvendo-brief-");

// A word processor may still be loading a letter of a minute ago, so only
// folders of ours from earlier days go.
void removeOldLetterFolders(const QFileInfo& current) {
    const QDateTime before = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList folders =
        QDir(QDir::tempPath())
            .entryInfoList({kFolderPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& f : folders) {
        if (f.isSymLink() || f.ownerId() != current.ownerId() || f.lastModified() >= before ||
            f == current)
            continue;
        QDir(f.absoluteFilePath()).removeRecursively();
    }
}

} // namespace

LetterLauncher systemLetterLauncher(std::function<bool(const QUrl&)> openWithDesktop) {
    LetterLauncher l;
    l.findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    l.startProgram = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    l.openWithDesktop = std::move(openWithDesktop);
    return l;
}

QString writeLetterFile(const FilledLetter& letter) {
    QTemporaryDir dir(QDir::tempPath() + u'/' + kFolderPrefix + QStringLiteral("XXXXXX"));
    if (!dir.isValid())
        throw EWriteError(SaveFile::cannotWriteMessage(QDir::tempPath()));
    // The word processor reads the letter after we return; the folder stays.
    dir.setAutoRemove(false);
    // QTemporaryDir makes it 0700 already; say so where it matters.
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    removeOldLetterFolders(QFileInfo(dir.path()));
    const QString file = dir.filePath(QStringLiteral("Brief.") + letter.suffix);
    writeFileAtomically(file, letter.package);
    return file;
}

void openLetter(const QString& file, LetterRoad road, const LetterLauncher& launcher,
                const QString& cannotStart) {
    if (road == LetterRoad::Writer) {
        for (const QString& name : {QStringLiteral("soffice"), QStringLiteral("libreoffice")}) {
            const QString program = launcher.findProgram(name);
            if (program.isEmpty())
                continue;
            // -n: a new untitled document from the letter, whatever its type.
            if (!launcher.startProgram(program,
                                       {QStringLiteral("--writer"), QStringLiteral("-n"), file}))
                throw EOleError(cannotStart);
            return;
        }
    }
    if (!launcher.openWithDesktop || !launcher.openWithDesktop(QUrl::fromLocalFile(file)))
        throw EOleError(cannotStart);
}

QString composeLetter(const QString& applicationPath, const Record& recipient,
                      const std::function<QString(const QString& key)>& namedString,
                      const LetterLauncher& launcher, const QDate& today) {
    const IniFile ini(AppPaths(applicationPath).preferences());
    const int office = readPref(ini, prefs::letter::office);
    if (office != 0 && office != 1)
        return {};
    const LetterRoad road = office == 0 ? LetterRoad::Word : LetterRoad::Writer;
    const BankLabels labels{namedString(QStringLiteral("bank")), namedString(QStringLiteral("blz")),
                            namedString(QStringLiteral("konto"))};
    const QList<LetterBookmark> bookmarks = letterBookmarks(ini, road, recipient, labels, today);
    const FilledLetter letter =
        fillLetterTemplate(letterTemplatePath(applicationPath, road), road, bookmarks);
    const QString file = writeLetterFile(letter);
    openLetter(file, road, launcher,
               namedString(road == LetterRoad::Word ? QStringLiteral("msgwordstart")
                                                    : QStringLiteral("msgoostart")));
    return file;
}

} // namespace kalvendo
