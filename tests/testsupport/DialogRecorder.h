#pragma once

#include "common/FileDialogs.h"
#include "common/Launcher.h"
#include "common/MessageDialog.h"
#include "common/ProgramLauncher.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <deque>

namespace kalvendo::test {

// Answers every message dialog while it lives: with the queued answers first,
// then with `fallback`, and keeps what each dialog showed.
class DialogRecorder {
public:
    explicit DialogRecorder(DialogResult fallback = DialogResult::Ok) : m_fallback(fallback) {
        setDialogAnswerer([this](const ShownDialog& d) {
            shown.append(d);
            if (m_answers.empty())
                return m_fallback;
            const DialogResult r = m_answers.front();
            m_answers.pop_front();
            return r;
        });
    }
    ~DialogRecorder() { setDialogAnswerer({}); }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    void answerNext(DialogResult r) { m_answers.push_back(r); }

    QList<ShownDialog> shown;

private:
    std::deque<DialogResult> m_answers;
    DialogResult m_fallback;
};

// Answers every file dialog while it lives, with the queued paths first, then
// with an empty path (cancel), and keeps what each dialog asked.
class FileDialogRecorder {
public:
    FileDialogRecorder() {
        setFileDialogAnswerer([this](const FileDialogRequest& r) {
            asked.append(r);
            if (m_answers.empty())
                return QString();
            const QString a = m_answers.front();
            m_answers.pop_front();
            return a;
        });
    }
    ~FileDialogRecorder() { setFileDialogAnswerer({}); }
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    void answerNext(const QString& path) { m_answers.push_back(path); }

    QList<FileDialogRequest> asked;

private:
    std::deque<QString> m_answers;
};

// Keeps what would be opened outside the program (URLs for the desktop,
// programs started) instead of opening it; `accept` is what each reports.
class LaunchRecorder {
public:
    explicit LaunchRecorder(bool accept = true) {
        setExternalOpener([this, accept](const QUrl& url) {
            urls << url;
            return accept;
        });
        setProgramStarter([this, accept](const QString& program, const QStringList& args) {
            programs << QStringList(program) + args;
            return accept;
        });
    }
    ~LaunchRecorder() {
        setExternalOpener({});
        setProgramStarter({});
    }
    LaunchRecorder(const LaunchRecorder&) = delete;
    LaunchRecorder& operator=(const LaunchRecorder&) = delete;

    QList<QUrl> urls;
    QList<QStringList> programs; // each: the program, then its arguments
};

} // namespace kalvendo::test
