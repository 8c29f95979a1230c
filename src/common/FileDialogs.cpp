#include "common/FileDialogs.h"

#include "common/TestHook.h"

#include <QFileDialog>

namespace kalvendo {

void setFileDialogAnswerer(FileDialogAnswerer answerer) {
    testHook<FileDialogAnswerer>() = std::move(answerer);
}

QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                       const QString& filter) {
    if (const auto& answer = testHook<FileDialogAnswerer>())
        return answer({FileDialogKind::Open, caption, start, filter});
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                       const QString& filter, bool askBeforeReplacing) {
    if (const auto& answer = testHook<FileDialogAnswerer>())
        return answer({FileDialogKind::Save, caption, start, filter});
    return QFileDialog::getSaveFileName(parent, caption, start, filter, nullptr,
                                        askBeforeReplacing ? QFileDialog::Options()
                                                           : QFileDialog::DontConfirmOverwrite);
}

QString chooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    if (const auto& answer = testHook<FileDialogAnswerer>())
        return answer({FileDialogKind::Folder, caption, start, QString()});
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

} // namespace kalvendo
