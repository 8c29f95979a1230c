#pragma once

#include "common/Exception.h"
#include "output/letter/LetterValues.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace kalvendo {

// A letter template that is missing, unreadable as XML or lacks a bookmark;
// the message names the file and the bookmark.
KALVENDO_DECLARE_EXCEPTION(ELetterTemplateError, EInOutError)

// "vorlagen/vorlagew.docx" (Word) or "vorlagen/vorlageoo.ott" (Writer) below
// the application folder, which ends in '/'.
QString letterTemplatePath(const QString& applicationPath, LetterRoad road);

struct FilledLetter {
    QByteArray package;
    // "dotx" or "ott": a template again, so the word processor opens it as a
    // new untitled document and a plain Save asks where to put the letter.
    QString suffix;
};

// Fills `bookmarks` into a copy of the template, in the document and in its
// headers and footers; the template file is only read. Throws
// ELetterTemplateError for a missing template or bookmark (nothing is
// produced then) and EPackageError for a file that is no zip package.
FilledLetter fillLetterTemplate(const QString& templatePath, LetterRoad road,
                                const QList<LetterBookmark>& bookmarks);

} // namespace kalvendo
