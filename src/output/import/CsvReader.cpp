#include "output/import/CsvReader.h"

#include "common/Exception.h"
#include "common/TextFile.h"

#include <cstring>

namespace kalvendo {

namespace {
constexpr qint64 kBlock = 64 * 1024;
} // namespace

void Utf8Check::feed(QByteArrayView bytes) {
    if (m_bad)
        return;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (m_need) {
            if (b < m_lo || b > m_hi) {
                m_bad = true;
                return;
            }
            m_lo = 0x80;
            m_hi = 0xBF;
            --m_need;
            continue;
        }
        if (b < 0x80)
            continue;
        // The second byte's range rules out overlong forms, surrogates and
        // code points beyond U+10FFFF.
        if (b >= 0xC2 && b <= 0xDF) {
            m_need = 1;
        } else if (b == 0xE0) {
            m_need = 2;
            m_lo = 0xA0;
        } else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) {
            m_need = 2;
        } else if (b == 0xED) {
            m_need = 2;
            m_hi = 0x9F;
        } else if (b == 0xF0) {
            m_need = 3;
            m_lo = 0x90;
        } else if (b >= 0xF1 && b <= 0xF3) {
            m_need = 3;
        } else if (b == 0xF4) {
            m_need = 3;
            m_hi = 0x8F;
        } else {
            m_bad = true;
            return;
        }
    }
}

CsvReader::CsvReader(const QString& path, QChar separator) : m_path(path), m_file(path) {
    if (!m_file.open(QIODevice::ReadOnly))
        readFailed();
    m_size = m_file.size();

    // The encoding is the whole file's: one pass, a block at a time.
    Utf8Check check;
    QByteArray block(kBlock * 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = m_file.read(block.data(), block.size());
        if (got < 0)
            readFailed();
        if (got == 0)
            break;
        check.feed(QByteArrayView(block.constData(), got));
        if (check.failed())
            break;
    }
    m_encoding = check.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    if (!m_file.seek(0))
        readFailed();

    fill();
    if (m_buf.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;

    if (!separator.isNull()) {
        m_sep = separator;
        return;
    }
    // Recognised by the first line, quoted parts left out.
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (qsizetype i = m_pos; i < m_buf.size(); ++i) {
        const char c = m_buf.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '\r' || c == '\n')
            break;
        else if (c == ',')
            ++commas;
        else if (c == ';')
            ++semicolons;
    }
    m_sep = semicolons > commas ? u';' : u',';
}

void CsvReader::readFailed() const {
    throw EInOutError(
        QStringLiteral("Datei %1 kann nicht gelesen werden / file %1 cannot be read: %2")
            .arg(m_path, m_file.errorString()));
}

bool CsvReader::fill() {
    if (m_atEnd)
        return false;
    m_buf.remove(0, m_pos);
    m_bufStart += m_pos;
    m_pos = 0;
    const qsizetype old = m_buf.size();
    m_buf.resize(old + kBlock);
    const qint64 got = m_file.read(m_buf.data() + old, kBlock);
    if (got < 0)
        readFailed();
    m_buf.resize(old + got);
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    return true;
}

bool CsvReader::nextPiece(Piece& piece) {
    for (;;) {
        if (m_pos >= m_buf.size()) {
            if (!fill())
                return false;
            continue;
        }
        const char* data = m_buf.constData();
        const qsizetype n = m_buf.size();
        qsizetype hit = m_pos;
        while (hit < n && data[hit] != '\r' && data[hit] != '\n')
            ++hit;
        piece.offset = m_bufStart + m_pos;
        if (hit == n) {
            piece.bytes = QByteArrayView(data + m_pos, n - m_pos);
            piece.lineBreak = Break::None;
            m_pos = n;
            return true;
        }
        if (data[hit] == '\r' && hit + 1 == n && !m_atEnd) {
            // Whether an LF follows is in the next block.
            if (hit > m_pos) {
                piece.bytes = QByteArrayView(data + m_pos, hit - m_pos);
                piece.lineBreak = Break::None;
                m_pos = hit;
                return true;
            }
            fill();
            continue;
        }
        piece.bytes = QByteArrayView(data + m_pos, hit - m_pos);
        if (data[hit] == '\n') {
            piece.lineBreak = Break::Lf;
            m_pos = hit + 1;
        } else if (hit + 1 < n && data[hit + 1] == '\n') {
            piece.lineBreak = Break::CrLf;
            m_pos = hit + 2;
        } else {
            piece.lineBreak = Break::Cr;
            m_pos = hit + 1;
        }
        return true;
    }
}

void CsvReader::appendSpan(QStringView text) {
    const qsizetype room = kMaxCellChars - m_cell.size();
    if (room <= 0 || text.isEmpty())
        return;
    text = text.first(qMin(room, text.size()));
    if (!text.contains(QChar(u'\0'))) {
        m_cell.append(text);
        return;
    }
    for (const QChar c : text) {
        if (c.unicode() != 0)
            m_cell.append(c);
    }
}

void CsvReader::endCell() {
    if (m_cells.size() < kMaxCells)
        m_cells.append(m_cell);
    m_cell.clear();
    m_state = State::FieldStart;
}

QStringList CsvReader::takeRecord() {
    m_started = false;
    m_literal = false;
    m_state = State::FieldStart;
    QStringList out;
    out.swap(m_cells);
    return out;
}

void CsvReader::feed(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        switch (m_state) {
        case State::FieldStart:
            if (text[i] == u'"' && !m_literal) {
                m_state = State::Quoted;
                ++i;
            } else {
                m_state = State::Unquoted;
            }
            break;
        case State::Unquoted: {
            const qsizetype sep = text.indexOf(m_sep, i);
            if (sep < 0) {
                appendSpan(text.sliced(i));
                return;
            }
            appendSpan(text.sliced(i, sep - i));
            endCell();
            i = sep + 1;
            break;
        }
        case State::Quoted: {
            const qsizetype quote = text.indexOf(u'"', i);
            if (quote < 0) {
                appendSpan(text.sliced(i));
                return;
            }
            appendSpan(text.sliced(i, quote - i));
            m_state = State::QuoteInQuoted;
            i = quote + 1;
            break;
        }
        case State::QuoteInQuoted:
            if (text[i] == u'"') {
                appendSpan(u"\"");
                m_state = State::Quoted;
                ++i;
            } else if (text[i] == m_sep) {
                endCell();
                ++i;
            } else {
                // Text after the closing quote: kept, as most readers do.
                m_state = State::Unquoted;
            }
            break;
        }
    }
}

void CsvReader::rereadLiterally() {
    if (!m_file.seek(m_recordStart))
        readFailed();
    m_buf.clear();
    m_pos = 0;
    m_bufStart = m_recordStart;
    m_atEnd = false;
    m_utf8.resetState();
    m_cells.clear();
    m_cell.clear();
    m_state = State::FieldStart;
    m_started = false;
    m_literal = true;
    m_lines = m_recordLines;
}

std::optional<QStringList> CsvReader::next() {
    Piece piece;
    QString text;
    for (;;) {
        if (!nextPiece(piece)) {
            if (m_state == State::Quoted && !m_literal) {
                rereadLiterally();
                continue;
            }
            if (!m_started)
                return std::nullopt;
            endCell();
            return takeRecord();
        }
        if (!m_started) {
            m_started = true;
            m_recordStart = piece.offset;
            m_recordLines = m_lines;
        }
        text = m_encoding == TextEncoding::Utf8 ? m_utf8.decode(piece.bytes)
                                                : decodeWindows1252(piece.bytes.toByteArray());
        feed(text);
        if (piece.lineBreak == Break::None)
            continue;
        ++m_lines;
        if (m_state == State::Quoted && !m_literal) {
            appendSpan(piece.lineBreak == Break::CrLf ? u"\r\n"
                       : piece.lineBreak == Break::Lf ? u"\n"
                                                      : u"\r");
            continue;
        }
        endCell();
        return takeRecord();
    }
}

} // namespace kalvendo
