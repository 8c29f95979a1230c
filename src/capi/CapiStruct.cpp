#include "capi/CapiStruct.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace kalvendo {

namespace {

constexpr size_t kMaxContent = 0xFFFF;

QByteArray toDigitBytes(const QString& digits) {
    // Digits are IA5 characters; anything beyond Latin-1 cannot be sent.
    return digits.toLatin1();
}

} // namespace

TStruct::TStruct() : m_owned{0}, m_bytes(m_owned.data()), m_prefix(1) {}

TStruct::TStruct(const quint8* bytes, size_t available) : m_bytes(bytes), m_owns(false) {
    if (bytes == nullptr || available == 0) {
        // Nothing left in the message: the struct is absent and reads as empty.
        static const quint8 zero = 0;
        m_bytes = &zero;
        return;
    }
    size_t declared = 0;
    if (bytes[0] != 0xFF) {
        m_prefix = 1;
        declared = bytes[0];
    } else if (available >= 3) {
        m_prefix = 3;
        declared = qFromLittleEndian<quint16>(bytes + 1);
    } else {
        // The escape is cut before its length word: no content.
        m_prefix = available;
        return;
    }
    m_content = quint16(std::min(declared, available - m_prefix));
}

TStruct::~TStruct() = default;

std::unique_ptr<TStruct> TStruct::CreateEmpty() {
    return std::unique_ptr<TStruct>(new TStruct());
}

std::unique_ptr<TStruct> TStruct::CreateWithContent(QByteArrayView content) {
    std::unique_ptr<TStruct> s(new TStruct());
    s->Allocate(size_t(content.size()));
    s->Append(content.data(), size_t(content.size()));
    return s;
}

std::unique_ptr<TStruct> TStruct::CreateView(const quint8* bytes, size_t available) {
    return std::unique_ptr<TStruct>(new TStruct(bytes, available));
}

void TStruct::Allocate(size_t contentLength) {
    const size_t n = std::min(contentLength, kMaxContent);
    m_owns = true;
    m_owned.assign(EncodedSizeFor(n), 0);
    if (n < 255) {
        m_owned[0] = quint8(n);
        m_prefix = 1;
    } else {
        m_owned[0] = 0xFF;
        m_owned[1] = quint8(n & 0xFF);
        m_owned[2] = quint8(n >> 8);
        m_prefix = 3;
    }
    m_bytes = m_owned.data();
    m_content = quint16(n);
    m_writePos = m_prefix;
    m_read = 0;
}

void TStruct::Append(const void* data, size_t n) {
    // Views and the empty struct have no room; neither is ever written to.
    if (!m_owns || m_content == 0 || data == nullptr) {
        return;
    }
    const size_t room = m_owned.size() - m_writePos;
    const size_t count = std::min(n, room);
    std::memcpy(m_owned.data() + m_writePos, data, count);
    m_writePos += count;
}

bool TStruct::Read(void* dest, size_t n) {
    if (size_t(m_content) >= n + m_read) {
        std::memcpy(dest, ContentBytes() + m_read, n);
        m_read = quint16(m_read + n);
        return true;
    }
    std::memset(dest, 0, n);
    return false;
}

void TStruct::Rewind() {
    m_read = 0;
    m_writePos = m_prefix;
}

QByteArray TStruct::RemainingContent() const {
    return QByteArray(reinterpret_cast<const char*>(ContentBytes()) + m_read,
                      qsizetype(m_content - m_read));
}

QByteArray TStruct::Content() const {
    return QByteArray(reinterpret_cast<const char*>(ContentBytes()), qsizetype(m_content));
}

void TStruct::AppendEncodedTo(std::vector<quint8>& out) const {
    if (m_content < 255) {
        out.push_back(quint8(m_content));
    } else {
        out.push_back(0xFF);
        out.push_back(quint8(m_content & 0xFF));
        out.push_back(quint8(m_content >> 8));
    }
    out.insert(out.end(), ContentBytes(), ContentBytes() + m_content);
}

// --- TCallingPartyNumber ---

TCallingPartyNumber::TCallingPartyNumber() = default;

TCallingPartyNumber::TCallingPartyNumber(quint8 typeOfNumber, quint8 presentation,
                                         const QString& digits)
    : TypeOfNumber(typeOfNumber), Presentation(presentation) {
    const QByteArray bytes = toDigitBytes(digits).left(qsizetype(kMaxContent - 2));
    Allocate(size_t(bytes.size()) + 2);
    Append(&TypeOfNumber, 1);
    Append(&Presentation, 1);
    Append(bytes.constData(), size_t(bytes.size()));
    Digits = QString::fromLatin1(bytes);
}

TCallingPartyNumber::TCallingPartyNumber(const quint8* bytes, size_t available)
    : TStruct(bytes, available) {
    Read(&TypeOfNumber, 1);
    Read(&Presentation, 1);
    if (ContentLength() >= 3) {
        Digits = QString::fromLatin1(RemainingContent());
    }
}

std::unique_ptr<TCallingPartyNumber> TCallingPartyNumber::CreateFrom(const quint8* bytes,
                                                                     size_t available) {
    return std::unique_ptr<TCallingPartyNumber>(new TCallingPartyNumber(bytes, available));
}

// --- TCallingPartySubAddress ---

TCallingPartySubAddress::TCallingPartySubAddress() = default;

TCallingPartySubAddress::TCallingPartySubAddress(quint8 typeOfNumber, const QString& digits)
    : TypeOfNumber(typeOfNumber) {
    const QByteArray bytes = toDigitBytes(digits).left(qsizetype(kMaxContent - 1));
    Allocate(size_t(bytes.size()) + 1);
    Append(&TypeOfNumber, 1);
    Append(bytes.constData(), size_t(bytes.size()));
    Digits = QString::fromLatin1(bytes);
}

TCallingPartySubAddress::TCallingPartySubAddress(const quint8* bytes, size_t available)
    : TStruct(bytes, available) {
    Read(&TypeOfNumber, 1);
    if (ContentLength() >= 2) {
        Digits = QString::fromLatin1(RemainingContent());
    }
}

std::unique_ptr<TCallingPartySubAddress> TCallingPartySubAddress::CreateFrom(const quint8* bytes,
                                                                             size_t available) {
    return std::unique_ptr<TCallingPartySubAddress>(new TCallingPartySubAddress(bytes, available));
}

// --- TBProtocol ---

TBProtocol::TBProtocol() = default;

TBProtocol::TBProtocol(quint16 b1, quint16 b2, quint16 b3, std::unique_ptr<TStruct> b1Configuration,
                       std::unique_ptr<TStruct> b2Configuration,
                       std::unique_ptr<TStruct> b3Configuration) {
    std::vector<quint8> content;
    for (quint16 w : {b1, b2, b3}) {
        content.push_back(quint8(w & 0xFF));
        content.push_back(quint8(w >> 8));
    }
    for (const auto* c : {&b1Configuration, &b2Configuration, &b3Configuration}) {
        if (*c) {
            (*c)->AppendEncodedTo(content);
        } else {
            content.push_back(0);
        }
    }
    Allocate(content.size());
    Append(content.data(), content.size());
    // The arguments are consumed here; the fields become views over our bytes.
    b1Configuration.reset();
    b2Configuration.reset();
    b3Configuration.reset();
    DecodeContent();
}

TBProtocol::TBProtocol(const quint8* bytes, size_t available) : TStruct(bytes, available) {
    DecodeContent();
}

void TBProtocol::DecodeContent() {
    Rewind();
    quint8 w[2];
    Read(w, 2);
    B1Protocol = qFromLittleEndian<quint16>(w);
    Read(w, 2);
    B2Protocol = qFromLittleEndian<quint16>(w);
    Read(w, 2);
    B3Protocol = qFromLittleEndian<quint16>(w);
    // The configuration structs follow the three words and may only look at
    // this struct's own content; a content cut inside the words has none.
    size_t offset = ContentLength() >= 6 ? 6 : ContentLength();
    for (auto* c : {&B1Configuration, &B2Configuration, &B3Configuration}) {
        *c = TStruct::CreateView(ContentBytes() + offset, ContentLength() - offset);
        offset += (*c)->WireSize();
    }
}

std::unique_ptr<TBProtocol> TBProtocol::CreateFrom(const quint8* bytes, size_t available) {
    return std::unique_ptr<TBProtocol>(new TBProtocol(bytes, available));
}

} // namespace kalvendo
