#pragma once

#include "common/MessageDialog.h"

#include <QList>

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

} // namespace kalvendo::test
