#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

namespace kalvendo {

// Filling the bookmarks of one XML part of a word-processing package. The part
// is streamed through QXmlStreamReader/Writer, so everything else (whitespace
// included) comes out as it went in. `values` maps bookmark names to their
// text; `filled` receives the names of the bookmarks met. `part` names the part
// in error messages. Throws ELetterTemplateError (see LetterDocument.h).

// WordprocessingML (document, headers, footers): the value goes in as a run
// right after the bookmark's start, so the bookmark spans it. Names ignore case
// as Word's do; the keys of `values` are lower case.
QByteArray fillWordBookmarks(const QByteArray& xml, const QHash<QString, QString>& values,
                             QSet<QString>& filled, const QString& part);

// OpenDocument text (content, styles with headers and footers): the value
// replaces the bookmark's anchor text; a collapsed bookmark becomes a start and
// end around the value. Names are compared exactly.
QByteArray fillOdfBookmarks(const QByteArray& xml, const QHash<QString, QString>& values,
                            QSet<QString>& filled, const QString& part);

// The characters XML 1.0 can carry; the rest (control characters, unpaired
// surrogates) cannot be written and are dropped. CR LF and lone CR become LF.
QString xmlSafeText(const QString& text);

} // namespace kalvendo
