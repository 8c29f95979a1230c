#include "common/TextFile.h"

#include "common/Exception.h"
#include "common/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace kalvendo {

QString decodeWindows1252(QByteArrayView bytes) {
    // Qt reaches the code page through ICU, which it is built with on Debian.
    // One converter per thread: legacy files are decoded line by line.
    thread_local QStringDecoder cp1252("windows-1252", QStringDecoder::Flag::Stateless);
    if (!cp1252.isValid())
        throw EInOutError(QStringLiteral("Die Codepage Windows-1252 ist nicht verfügbar"));
    QString text = cp1252.decode(bytes);
    // ICU passes the five bytes the code page leaves undefined through as C1
    // controls; here they read as replacement characters, as any unknown byte.
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString decodeText(const QByteArray& bytes) {
    QByteArrayView data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(data);
        if (!utf8.hasError())
            return text;
    }
    // CR and LF are never part of a multi-byte UTF-8 sequence, so lines can be
    // cut apart before decoding.
    QString out;
    out.reserve(data.size());
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = start;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        const QByteArrayView line = data.sliced(start, end - start);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(line);
        out += utf8.hasError() ? decodeWindows1252(line) : text;
        while (end < data.size() && (data[end] == '\n' || data[end] == '\r'))
            out += QChar(char16_t(data[end++]));
        start = end;
    }
    return out;
}

namespace {
bool breaksTheLine(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

QString withoutControlChars(QStringView text) {
    QString out;
    out.reserve(text.size());
    bool inRun = false;
    for (const QChar c : text) {
        if (breaksTheLine(c.unicode())) {
            if (!inRun)
                out += u' ';
            inRun = true;
        } else {
            out += c;
            inRun = false;
        }
    }
    return out;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList readTextLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Datei %1 kann nicht gelesen werden: %2").arg(path, f.errorString()));
    return splitLines(decodeText(f.readAll()));
}

void writeTextLines(const QString& path, const QStringList& lines) {
    QByteArray data;
    for (const QString& l : lines) {
        data += l.toUtf8();
        data += "\r\n";
    }
    writeFileAtomically(path, data);
}

void appendTextLine(const QString& path, const QString& line, const QString& failure) {
    // Appending cannot go through a replacing save: the line is written in
    // place and flushed, and a short write is reported.
    QFile f(path);
    const auto fail = [&]() {
        const QString text = failure.isEmpty()
                                 ? QStringLiteral("Datei %1 kann nicht geschrieben werden: %2")
                                 : failure;
        return EInOutError(text.arg(QDir::toNativeSeparators(path), f.errorString()));
    };
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        throw fail();
    const QByteArray data = line.toUtf8() + "\r\n";
    if (f.write(data) != data.size() || !f.flush())
        throw fail();
}

} // namespace kalvendo
