#pragma once

#include <QString>

#include <functional>

namespace kalvendo {

// How a message of the maintenance commands is shown.
enum class NoticeKind { Error, Information, Warning, Plain };

// A named string of the language engine with the blanks the window puts around
// it, and the kind of dialog that shows it.
struct Notice {
    const char* key;
    int blanksBefore;
    int blanksAfter;
    NoticeKind kind;

    QString keyName() const { return QString::fromLatin1(key); }
    // The text to show, given the looked-up string.
    QString framed(const QString& looked) const {
        return QString(blanksBefore, u' ') + looked + QString(blanksAfter, u' ');
    }
    // Looks the string up and frames it (getString: the engine's GetString).
    QString text(const std::function<QString(const QString&)>& getString) const {
        return framed(getString(keyName()));
    }
};

namespace notice {
// Backup
inline constexpr Notice msgpath{"msgpath", 7, 7, NoticeKind::Error};
inline constexpr Notice msgdbstored{"msgdbstored", 7, 7, NoticeKind::Information};
// Restore: the folder browser's title, the question (OK / Cancel), the outcome.
inline constexpr Notice msgseldir{"msgseldir", 0, 0, NoticeKind::Plain};
inline constexpr Notice dbrestored{"dbrestored", 5, 4, NoticeKind::Warning};
inline constexpr Notice dbres{"dbres", 5, 5, NoticeKind::Information};
inline constexpr Notice dbreserror{"dbreserror", 5, 5, NoticeKind::Error};
// Packing
inline constexpr Notice fileexists{"fileexists", 0, 0, NoticeKind::Error};
inline constexpr Notice datacompressed{"datacompressed", 0, 0, NoticeKind::Plain};
} // namespace notice

} // namespace kalvendo
