#include "capi/CapiMessage.h"

#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace kalvendo {

namespace {

quint16 word(const quint8* p) {
    return qFromLittleEndian<quint16>(p);
}

QString hex(quint32 v) {
    return QStringLiteral("0x") + QString::number(v, 16).toUpper();
}

QString hexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

// --- TCapiMessageHeader ---

TCapiMessageHeader::TCapiMessageHeader(const quint8* bytes, size_t available) {
    if (bytes == nullptr) {
        return;
    }
    if (available >= 2) {
        TotalLength = word(bytes);
    }
    // The header is part of the message: nothing past TotalLength is read.
    available = std::min<size_t>(available, std::max<size_t>(TotalLength, 2));
    if (available >= 4) {
        ApplID = word(bytes + 2);
    }
    if (available >= 5) {
        Command = bytes[4];
    }
    if (available >= 6) {
        Subcommand = bytes[5];
    }
    if (available >= 8) {
        MessageNumber = word(bytes + 6);
    }
}

void TCapiMessageHeader::SetCommandWord(quint16 commandWord) {
    Command = quint8(commandWord / 256);
    Subcommand = quint8(commandWord % 256);
}

quint16 TCapiMessageHeader::GetCommandWord() const {
    return quint16(Command * 256 + Subcommand);
}

void TCapiMessageHeader::WriteTo(quint8* dest) const {
    dest[0] = quint8(TotalLength & 0xFF);
    dest[1] = quint8(TotalLength >> 8);
    dest[2] = quint8(ApplID & 0xFF);
    dest[3] = quint8(ApplID >> 8);
    dest[4] = Command;
    dest[5] = Subcommand;
    dest[6] = quint8(MessageNumber & 0xFF);
    dest[7] = quint8(MessageNumber >> 8);
}

// --- TCapiMessage ---

TCapiMessage::TCapiMessage() = default;
TCapiMessage::~TCapiMessage() = default;

void TCapiMessage::CreateFrom(const quint8* message, size_t available) {
    if (message == nullptr) {
        available = 0;
    }
    m_header = TCapiMessageHeader(message, available);
    // Never beyond what the message claims, never beyond what is really there;
    // fewer than two bytes cannot even hold TotalLength and count as none.
    size_t total = std::min<size_t>(m_header.TotalLength, available);
    if (total < 2) {
        total = 0;
    }
    m_buffer.assign(message, message + total);
    m_pos = std::min(TCapiMessageHeader::HeaderSize(), total);
}

QString TCapiMessage::Describe() const {
    return QStringLiteral("message ") + hex(m_header.GetCommandWord()) + QStringLiteral(" (") +
           QString::number(m_buffer.size()) + QStringLiteral(" bytes)");
}

void TCapiMessage::Allocate(size_t totalLength) {
    if (totalLength > 0xFFFF) {
        totalLength = TCapiMessageHeader::HeaderSize();
    }
    totalLength = std::max(totalLength, TCapiMessageHeader::HeaderSize());
    m_buffer.assign(totalLength, 0);
    m_header.TotalLength = quint16(totalLength);
    m_pos = TCapiMessageHeader::HeaderSize();
}

void TCapiMessage::Append(const void* data, size_t n) {
    const size_t count = std::min(n, m_buffer.size() - m_pos);
    if (count > 0) {
        std::memcpy(m_buffer.data() + m_pos, data, count);
        m_pos += count;
    }
}

bool TCapiMessage::Read(void* dest, size_t n) {
    if (n <= m_buffer.size() - m_pos) {
        std::memcpy(dest, m_buffer.data() + m_pos, n);
        m_pos += n;
        return true;
    }
    // A field cut by the end of the message: it and everything after it is
    // missing, so it reads as zeros and so does every later field.
    std::memset(dest, 0, n);
    m_pos = m_buffer.size();
    return false;
}

const quint8* TCapiMessage::Encode() {
    if (m_buffer.empty()) {
        return nullptr;
    }
    if (m_buffer.size() >= TCapiMessageHeader::HeaderSize()) {
        m_header.WriteTo(m_buffer.data());
    } else {
        quint8 header[TCapiMessageHeader::HeaderSize()];
        m_header.WriteTo(header);
        std::memcpy(m_buffer.data(), header, m_buffer.size());
    }
    return m_buffer.data();
}

QByteArray TCapiMessage::EncodedBytes() {
    const quint8* data = Encode();
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(m_buffer.size()));
}

void TCapiMessage::AppendWord(quint16 value) {
    const quint8 b[2] = {quint8(value & 0xFF), quint8(value >> 8)};
    Append(b, 2);
}

void TCapiMessage::AppendDword(quint32 value) {
    const quint8 b[4] = {quint8(value & 0xFF), quint8(value >> 8 & 0xFF),
                         quint8(value >> 16 & 0xFF), quint8(value >> 24)};
    Append(b, 4);
}

void TCapiMessage::AppendStruct(const TStruct* s) {
    if (s == nullptr) {
        const quint8 empty = 0;
        Append(&empty, 1);
        return;
    }
    std::vector<quint8> bytes;
    bytes.reserve(s->EncodedSize());
    s->AppendEncodedTo(bytes);
    Append(bytes.data(), bytes.size());
}

quint16 TCapiMessage::ReadWord() {
    quint8 b[2];
    Read(b, 2);
    return word(b);
}

quint32 TCapiMessage::ReadDword() {
    quint8 b[4];
    Read(b, 4);
    return qFromLittleEndian<quint32>(b);
}

// --- TCapiConfirmation ---

void TCapiConfirmation::CreateFrom(const quint8* message, size_t available) {
    TCapiMessage::CreateFrom(message, available);
    DecodeFields(*this);
}

QString TCapiConfirmation::Describe() const {
    return DescribeFields(const_cast<TCapiConfirmation&>(*this));
}

// --- describing ---

namespace detail {

void DescribeVisitor::operator()(const char* name, quint32& v) {
    text += QLatin1Char(' ') + QLatin1String(name) + QLatin1Char('=') + hex(v);
}

void DescribeVisitor::operator()(const char* name, quint16& v) {
    text += QLatin1Char(' ') + QLatin1String(name) + QLatin1Char('=') + hex(v);
}

void DescribeVisitor::operator()(const char* name, std::unique_ptr<TStruct>& s) {
    text += QLatin1Char(' ') + QLatin1String(name) + QStringLiteral("=(") +
            (s ? hexBytes(s->Content()) : QString()) + QLatin1Char(')');
}

void DescribeVisitor::operator()(const char* name, std::unique_ptr<TCallingPartyNumber>& s) {
    QStringList parts;
    if (s && s->ContentLength() >= 1) {
        parts << QString::number(s->TypeOfNumber, 16).rightJustified(2, QLatin1Char('0'));
    }
    if (s && s->ContentLength() >= 2) {
        parts << QString::number(s->Presentation, 16).rightJustified(2, QLatin1Char('0'));
    }
    if (s && !s->Digits.isEmpty()) {
        parts << QLatin1Char('"') + s->Digits + QLatin1Char('"');
    }
    text += QLatin1Char(' ') + QLatin1String(name) + QStringLiteral("=(") +
            parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

void DescribeVisitor::operator()(const char* name, std::unique_ptr<TCallingPartySubAddress>& s) {
    QStringList parts;
    if (s && s->ContentLength() >= 1) {
        parts << QString::number(s->TypeOfNumber, 16).rightJustified(2, QLatin1Char('0'));
    }
    if (s && !s->Digits.isEmpty()) {
        parts << QLatin1Char('"') + s->Digits + QLatin1Char('"');
    }
    text += QLatin1Char(' ') + QLatin1String(name) + QStringLiteral("=(") +
            parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

void DescribeVisitor::operator()(const char* name, std::unique_ptr<TBProtocol>& s) {
    text += QLatin1Char(' ') + QLatin1String(name) + QStringLiteral("=(");
    if (s && s->ContentLength() >= 6) {
        text += QString::number(s->B1Protocol) + QLatin1Char(' ') + QString::number(s->B2Protocol) +
                QLatin1Char(' ') + QString::number(s->B3Protocol);
        for (const auto* c : {&s->B1Configuration, &s->B2Configuration, &s->B3Configuration}) {
            text += QStringLiteral(" (") + hexBytes((*c)->Content()) + QLatin1Char(')');
        }
    } else if (s) {
        text += hexBytes(s->Content());
    }
    text += QLatin1Char(')');
}

} // namespace detail

// --- building constructors ---

TListenReq::TListenReq(quint32 controller, quint32 infoMask, quint32 cipMask, quint32 cipMask2,
                       std::unique_ptr<TCallingPartyNumber> callingPartyNumber,
                       std::unique_ptr<TCallingPartySubAddress> callingPartySubAddress) {
    Controller = controller;
    InfoMask = infoMask;
    CIPMask = cipMask;
    CIPMask2 = cipMask2;
    CallingPartyNumber = std::move(callingPartyNumber);
    CallingPartySubAddress = std::move(callingPartySubAddress);
    Build();
}

TAlertReq::TAlertReq(quint32 plci, std::unique_ptr<TStruct> additionalInfo) {
    PLCI = plci;
    AdditionalInfo = std::move(additionalInfo);
    Build();
}

TConnectResp::TConnectResp(quint32 plci, quint16 reject, std::unique_ptr<TBProtocol> bProtocol,
                           std::unique_ptr<TCallingPartyNumber> connectedNumber,
                           std::unique_ptr<TCallingPartySubAddress> connectedSubAddress,
                           std::unique_ptr<TStruct> llc, std::unique_ptr<TStruct> additionalInfo) {
    PLCI = plci;
    Reject = reject;
    BProtocol = std::move(bProtocol);
    ConnectedNumber = std::move(connectedNumber);
    ConnectedSubAddress = std::move(connectedSubAddress);
    LLC = std::move(llc);
    AdditionalInfo = std::move(additionalInfo);
    Build();
}

TConnectActiveResp::TConnectActiveResp(quint32 plci) {
    PLCI = plci;
    Build();
}

TDisconnectReq::TDisconnectReq(quint32 plci, std::unique_ptr<TStruct> additionalInfo) {
    PLCI = plci;
    AdditionalInfo = std::move(additionalInfo);
    Build();
}

TDisconnectResp::TDisconnectResp(quint32 plci) {
    PLCI = plci;
    Build();
}

TInfoResp::TInfoResp(quint32 plci) {
    PLCI = plci;
    Build();
}

TFacilityResp::TFacilityResp(quint32 address, quint16 facilitySelector,
                             std::unique_ptr<TStruct> facilityResponseParameters) {
    Address = address;
    FacilitySelector = facilitySelector;
    FacilityResponseParameters = std::move(facilityResponseParameters);
    Build();
}

TConnectB3Req::TConnectB3Req(quint32 plci, std::unique_ptr<TStruct> ncpi) {
    PLCI = plci;
    NCPI = std::move(ncpi);
    Build();
}

TConnectB3Resp::TConnectB3Resp(quint32 ncci, quint16 reject, std::unique_ptr<TStruct> ncpi) {
    NCCI = ncci;
    Reject = reject;
    NCPI = std::move(ncpi);
    Build();
}

TConnectB3ActiveResp::TConnectB3ActiveResp(quint32 ncci) {
    NCCI = ncci;
    Build();
}

TDisconnectB3Req::TDisconnectB3Req(quint32 ncci, std::unique_ptr<TStruct> ncpi) {
    NCCI = ncci;
    NCPI = std::move(ncpi);
    Build();
}

TDisconnectB3Resp::TDisconnectB3Resp(quint32 ncci) {
    NCCI = ncci;
    Build();
}

TDataB3Req::TDataB3Req(quint32 ncci, quint32 data, quint16 dataLength, quint16 dataHandle,
                       quint16 flags) {
    NCCI = ncci;
    Data = data;
    DataLength = dataLength;
    DataHandle = dataHandle;
    Flags = flags;
    Build();
}

TDataB3Resp::TDataB3Resp(quint32 ncci, quint16 dataHandle) {
    NCCI = ncci;
    DataHandle = dataHandle;
    Build();
}

TResetB3Resp::TResetB3Resp(quint32 ncci) {
    NCCI = ncci;
    Build();
}

TConnectB3T90ActiveResp::TConnectB3T90ActiveResp(quint32 ncci) {
    NCCI = ncci;
    Build();
}

TConnectInd::TConnectInd(quint32 plci, quint16 cipValue,
                         std::unique_ptr<TCallingPartySubAddress> calledPartyNumber,
                         std::unique_ptr<TCallingPartyNumber> callingPartyNumber,
                         std::unique_ptr<TCallingPartySubAddress> calledPartySubAddress,
                         std::unique_ptr<TCallingPartySubAddress> callingPartySubAddress,
                         std::unique_ptr<TStruct> bc, std::unique_ptr<TStruct> llc,
                         std::unique_ptr<TStruct> hlc, std::unique_ptr<TStruct> additionalInfo) {
    PLCI = plci;
    CIPValue = cipValue;
    CalledPartyNumber = std::move(calledPartyNumber);
    CallingPartyNumber = std::move(callingPartyNumber);
    CalledPartySubAddress = std::move(calledPartySubAddress);
    CallingPartySubAddress = std::move(callingPartySubAddress);
    BC = std::move(bc);
    LLC = std::move(llc);
    HLC = std::move(hlc);
    AdditionalInfo = std::move(additionalInfo);
    Build();
}

TConnectActiveInd::TConnectActiveInd(quint32 plci,
                                     std::unique_ptr<TCallingPartyNumber> connectedNumber,
                                     std::unique_ptr<TCallingPartySubAddress> connectedSubAddress,
                                     std::unique_ptr<TStruct> llc) {
    PLCI = plci;
    ConnectedNumber = std::move(connectedNumber);
    ConnectedSubAddress = std::move(connectedSubAddress);
    LLC = std::move(llc);
    Build();
}

TDisconnectInd::TDisconnectInd(quint32 plci, quint16 reason) {
    PLCI = plci;
    Reason = reason;
    Build();
}

TInfoInd::TInfoInd(quint32 plci, quint16 infoNumber, std::unique_ptr<TStruct> infoElement) {
    PLCI = plci;
    InfoNumber = infoNumber;
    InfoElement = std::move(infoElement);
    Build();
}

TFacilityInd::TFacilityInd(quint32 address, quint16 facilitySelector,
                           std::unique_ptr<TStruct> facilityIndicationParameter) {
    Address = address;
    FacilitySelector = facilitySelector;
    FacilityIndicationParameter = std::move(facilityIndicationParameter);
    Build();
}

TDisconnectB3Ind::TDisconnectB3Ind(quint32 ncci, quint16 reasonB3, std::unique_ptr<TStruct> ncpi) {
    NCCI = ncci;
    ReasonB3 = reasonB3;
    NCPI = std::move(ncpi);
    Build();
}

TDataB3Ind::TDataB3Ind(quint32 ncci, quint32 data, quint16 dataLength, quint16 dataHandle,
                       quint16 flags) {
    NCCI = ncci;
    Data = data;
    DataLength = dataLength;
    DataHandle = dataHandle;
    Flags = flags;
    Build();
}

TFacilityConf::TFacilityConf(quint32 address, quint16 info, quint16 facilitySelector,
                             std::unique_ptr<TStruct> facilityConfirmationParameter) {
    Address = address;
    Info = info;
    FacilitySelector = facilitySelector;
    FacilityConfirmationParameter = std::move(facilityConfirmationParameter);
    Build();
}

TDataB3Conf::TDataB3Conf(quint32 ncci, quint16 dataHandle, quint16 info) {
    NCCI = ncci;
    DataHandle = dataHandle;
    Info = info;
    Build();
}

// --- decoding ---

namespace {

template <class... Ms> struct MessageTable {
    static std::unique_ptr<TCapiMessage> make(quint16 commandWord) {
        std::unique_ptr<TCapiMessage> result;
        ((commandWord == Ms::CommandWord ? (void)(result = std::make_unique<Ms>()) : (void)0), ...);
        return result;
    }
};

using IncomingMessages =
    MessageTable<TConnectInd, TConnectActiveInd, TDisconnectInd, TInfoInd, TFacilityInd,
                 TConnectB3Ind, TConnectB3ActiveInd, TDisconnectB3Ind, TDataB3Ind, TResetB3Ind,
                 TConnectB3T90ActiveInd, TFacilityConf, TDataB3Conf, TAlertConf, TConnectConf,
                 TDisconnectConf, TListenConf, TInfoConf, TSelectBProtocolConf, TConnectB3Conf,
                 TDisconnectB3Conf, TResetB3Conf>;

using OutgoingMessages =
    MessageTable<TListenReq, TAlertReq, TConnectResp, TConnectActiveResp, TDisconnectReq,
                 TDisconnectResp, TInfoResp, TFacilityResp, TConnectB3Req, TConnectB3Resp,
                 TConnectB3ActiveResp, TDisconnectB3Req, TDisconnectB3Resp, TDataB3Req, TDataB3Resp,
                 TResetB3Resp, TConnectB3T90ActiveResp>;

template <class Table>
std::unique_ptr<TCapiMessage> decodeWith(const quint8* message, size_t available) {
    if (message == nullptr) {
        available = 0;
    }
    const TCapiMessageHeader header(message, available);
    std::unique_ptr<TCapiMessage> result = Table::make(header.GetCommandWord());
    if (!result) {
        result = std::make_unique<TCapiMessage>();
    }
    result->CreateFrom(message, available);
    return result;
}

const quint8* bytesOf(const QByteArray& a) {
    return reinterpret_cast<const quint8*>(a.constData());
}

} // namespace

std::unique_ptr<TCapiMessage> DecodeCapiMessage(const quint8* message, size_t available) {
    return decodeWith<IncomingMessages>(message, available);
}

std::unique_ptr<TCapiMessage> DecodeCapiMessage(const QByteArray& message) {
    return DecodeCapiMessage(bytesOf(message), size_t(message.size()));
}

std::unique_ptr<TCapiMessage> DecodeOutgoingCapiMessage(const quint8* message, size_t available) {
    return decodeWith<OutgoingMessages>(message, available);
}

std::unique_ptr<TCapiMessage> DecodeOutgoingCapiMessage(const QByteArray& message) {
    return DecodeOutgoingCapiMessage(bytesOf(message), size_t(message.size()));
}

quint16 CapiMessageLength(const quint8* message, size_t available) {
    return message != nullptr && available >= 2 ? word(message) : 0;
}

} // namespace kalvendo
