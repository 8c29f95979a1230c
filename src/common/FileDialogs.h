#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kalvendo {

// The system's file dialogs, behind one seam so that tests answer them like
// the message dialogs. Each returns the chosen path, empty when cancelled.
QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& start,
                       const QString& filter = {});
// `askBeforeReplacing` false: the caller refuses an existing file itself, so
// the dialog does not offer to replace it.
QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& start,
                       const QString& filter = {}, bool askBeforeReplacing = true);
QString chooseFolder(QWidget* parent, const QString& caption, const QString& start);

enum class FileDialogKind { Open, Save, Folder };
// What a file dialog would show.
struct FileDialogRequest {
    FileDialogKind kind;
    QString caption;
    QString start;
    QString filter; // empty for folders
};
using FileDialogAnswerer = std::function<QString(const FileDialogRequest&)>;
// An empty function restores the real dialogs.
void setFileDialogAnswerer(FileDialogAnswerer answerer);

} // namespace kalvendo
