#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace kalvendo {

enum class TextEncoding { Utf8, Windows1252 };

// Reads a comma-separated file record by record, by RFC 4180 rules: a value
// that starts with a double quote may hold the separator, doubled quotes and
// line breaks; a quote anywhere else is an ordinary character. A line without
// quotes therefore splits at every separator. Lines end with CR LF, LF or CR.
//
// The whole file is never held: it is read in blocks, and a value keeps at
// most kMaxCellChars characters and a record at most kMaxCells values (more
// than any field can take), so a 1 MB line or 10,000 values cost no more.
// NUL characters are dropped. A quote that is never closed does not swallow
// the rest of the file: its line is read again with quotes as ordinary
// characters.
class CsvReader {
public:
    static constexpr int kMaxCellChars = 4096;
    static constexpr int kMaxCells = 1024;

    // Opens the file and decides its encoding by one pass over its bytes:
    // UTF-8 (a byte order mark is skipped) when valid, else Windows-1252. The
    // separator is ";" when the first line holds more semicolons than commas
    // outside quotes, else ","; a given separator is taken as it stands.
    // Throws EInOutError when the file cannot be read.
    explicit CsvReader(const QString& path, QChar separator = QChar());
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // The values of the next record; nullopt at the end of the file. An empty
    // line is one empty value. Throws EInOutError on a read error.
    std::optional<QStringList> next();

    qint64 position() const { return m_bufStart + m_pos; }
    qint64 size() const { return m_size; }
    // Lines read so far (a record with line breaks in quotes counts them all).
    qint64 lineCount() const { return m_lines; }
    QChar separator() const { return m_sep; }
    TextEncoding encoding() const { return m_encoding; }

private:
    enum class Break { None, CrLf, Lf, Cr };
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
    struct Piece {
        qint64 offset = 0;
        QByteArrayView bytes;
        Break lineBreak = Break::None;
    };

    [[noreturn]] void readFailed() const;
    bool fill();
    bool nextPiece(Piece& piece);
    void feed(QStringView text);
    void appendSpan(QStringView text);
    void endCell();
    QStringList takeRecord();
    void rereadLiterally();

    QString m_path;
    QFile m_file;
    qint64 m_size = 0;
    TextEncoding m_encoding = TextEncoding::Utf8;
    QChar m_sep = u',';
    QStringDecoder m_utf8{QStringDecoder::Utf8};

    QByteArray m_buf;
    qsizetype m_pos = 0;
    qint64 m_bufStart = 0; // file offset of m_buf[0]
    bool m_atEnd = false;
    qint64 m_lines = 0;

    State m_state = State::FieldStart;
    QString m_cell;
    QStringList m_cells;
    bool m_started = false; // the current record has begun
    bool m_literal = false; // quotes are ordinary characters up to the next line end
    qint64 m_recordStart = 0;
    qint64 m_recordLines = 0;
};

// Whether the bytes are valid UTF-8, fed in pieces.
class Utf8Check {
public:
    void feed(QByteArrayView bytes);
    bool valid() const { return !m_bad && m_need == 0; }
    // Invalid whatever follows.
    bool failed() const { return m_bad; }

private:
    int m_need = 0;
    unsigned char m_lo = 0x80;
    unsigned char m_hi = 0xBF;
    bool m_bad = false;
};

} // namespace kalvendo
