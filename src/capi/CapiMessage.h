#pragma once

#include "capi/CapiStruct.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <vector>

namespace kalvendo {

// The 8-byte header at the start of every CAPI message.
class TCapiMessageHeader {
public:
    quint16 TotalLength = 0;
    quint16 ApplID = 0;
    quint8 Command = 0;
    quint8 Subcommand = 0;
    // Always 0 in what we build: messages are never paired by number.
    quint16 MessageNumber = 0;

    TCapiMessageHeader() = default;
    // Reads the header from at most `available` bytes and never past
    // TotalLength; a field that is not wholly there reads as 0.
    TCapiMessageHeader(const quint8* bytes, size_t available);
    virtual ~TCapiMessageHeader() = default;
    TCapiMessageHeader(const TCapiMessageHeader&) = default;
    TCapiMessageHeader& operator=(const TCapiMessageHeader&) = default;

    virtual void SetCommandWord(quint16 commandWord);
    virtual quint16 GetCommandWord() const;
    static constexpr size_t HeaderSize() { return 8; }

    void WriteTo(quint8* dest) const;
};

inline constexpr quint8 CapiRequest = 0x80;
inline constexpr quint8 CapiConfirmation = 0x81;
inline constexpr quint8 CapiIndication = 0x82;
inline constexpr quint8 CapiResponse = 0x83;

// A CAPI message: its own copy of the bytes, a read/write position and the
// header. Built messages are complete except ApplID, which is set in the
// header before Encode.
//
// Reading never goes past the bytes the message holds: a fixed field that is
// not wholly there reads as zeros (and ends reading), a struct reads as far as
// its bytes go.
class TCapiMessage {
public:
    TCapiMessage();
    virtual ~TCapiMessage();
    TCapiMessage(const TCapiMessage&) = delete;
    TCapiMessage& operator=(const TCapiMessage&) = delete;

    // Decodes from a received message: copies min(TotalLength, available)
    // bytes, so the object stays valid after the driver reuses its buffer.
    virtual void CreateFrom(const quint8* message, size_t available);
    // The message name (LISTEN_CONF ...); empty for a plain message.
    virtual const char* Name() const { return ""; }
    // One line naming the message and its decoded fields, for logs and tests.
    virtual QString Describe() const;

    TCapiMessageHeader& Header() { return m_header; }
    const TCapiMessageHeader& Header() const { return m_header; }

    // Reserves totalLength bytes and puts the position after the header. A
    // message that would not fit the 16-bit TotalLength is cut to its header
    // (TotalLength 8), which every driver refuses instead of misreading it.
    void Allocate(size_t totalLength);
    // Copies n bytes at the position; what does not fit is dropped.
    void Append(const void* data, size_t n);
    // Copies n bytes and advances; see the class comment for short messages.
    bool Read(void* dest, size_t n);
    // Writes the header fields into the first bytes and returns the buffer
    // (null for a message without bytes).
    const quint8* Encode();
    // Encode, as a copy.
    QByteArray EncodedBytes();

    size_t Size() const { return m_buffer.size(); }
    size_t Position() const { return m_pos; }
    const quint8* Data() const { return m_buffer.data(); }

    void AppendWord(quint16 value);
    void AppendDword(quint32 value);
    // Writes the struct's canonical encoding; null writes the empty struct.
    void AppendStruct(const TStruct* s);
    quint16 ReadWord();
    quint32 ReadDword();
    // A decoder of type S over the bytes at the position, then advances past it.
    template <class S> std::unique_ptr<S> ReadStruct() {
        const size_t left = m_buffer.size() - m_pos;
        auto s = S::CreateFrom(left ? m_buffer.data() + m_pos : nullptr, left);
        m_pos += s->WireSize();
        return s;
    }

protected:
    // The building steps every outgoing class shares: size, allocate, append
    // the fields in order, then turn the consumed struct arguments into views
    // over the message's own bytes.
    template <class M> void BuildFields(M& m, quint16 commandWord);
    template <class M> void DecodeFields(M& m);
    template <class M> QString DescribeFields(M& m) const;

private:
    TCapiMessageHeader m_header;
    std::vector<quint8> m_buffer;
    size_t m_pos = 0;
};

namespace detail {

// Field visitors. Every message class lists its parameters once, in message
// order, in a Fields(v) template; building, decoding and describing share it.

struct SizeVisitor {
    size_t total = TCapiMessageHeader::HeaderSize();
    void operator()(const char*, quint32&) { total += 4; }
    void operator()(const char*, quint16&) { total += 2; }
    template <class S> void operator()(const char*, std::unique_ptr<S>& s) {
        total += s ? s->EncodedSize() : 1;
    }
};

struct AppendVisitor {
    TCapiMessage& m;
    void operator()(const char*, quint32& v) { m.AppendDword(v); }
    void operator()(const char*, quint16& v) { m.AppendWord(v); }
    template <class S> void operator()(const char*, std::unique_ptr<S>& s) {
        m.AppendStruct(s.get());
        s.reset();
    }
};

struct ReadVisitor {
    TCapiMessage& m;
    void operator()(const char*, quint32& v) { v = m.ReadDword(); }
    void operator()(const char*, quint16& v) { v = m.ReadWord(); }
    template <class S> void operator()(const char*, std::unique_ptr<S>& s) {
        s = m.ReadStruct<S>();
    }
};

struct DescribeVisitor {
    QString text;
    void operator()(const char* name, quint32& v);
    void operator()(const char* name, quint16& v);
    void operator()(const char* name, std::unique_ptr<TStruct>& s);
    void operator()(const char* name, std::unique_ptr<TCallingPartyNumber>& s);
    void operator()(const char* name, std::unique_ptr<TCallingPartySubAddress>& s);
    void operator()(const char* name, std::unique_ptr<TBProtocol>& s);
};

} // namespace detail

template <class M> void TCapiMessage::BuildFields(M& m, quint16 commandWord) {
    detail::SizeVisitor size;
    m.Fields(size);
    m_header = TCapiMessageHeader();
    Allocate(size.total);
    m_header.SetCommandWord(commandWord);
    detail::AppendVisitor append{*this};
    m.Fields(append);
    DecodeFields(m);
}

template <class M> void TCapiMessage::DecodeFields(M& m) {
    m_pos = std::min(TCapiMessageHeader::HeaderSize(), m_buffer.size());
    detail::ReadVisitor read{*this};
    m.Fields(read);
}

template <class M> QString TCapiMessage::DescribeFields(M& m) const {
    detail::DescribeVisitor d;
    d.text = QString::fromLatin1(m.Name());
    m.Fields(d);
    return d.text;
}

// The shared part of every message class: its command word, its name and the
// decoding constructor driven by its Fields list.
template <class Derived, quint16 Word, class Base = TCapiMessage>
class TCapiMessageImpl : public Base {
public:
    static constexpr quint16 CommandWord = Word;

    void CreateFrom(const quint8* message, size_t available) override {
        TCapiMessage::CreateFrom(message, available);
        this->DecodeFields(self());
    }
    const char* Name() const override { return Derived::MessageName; }
    QString Describe() const override {
        return this->DescribeFields(const_cast<TCapiMessageImpl*>(this)->self());
    }

protected:
    void Build() { this->BuildFields(self(), Word); }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

// A confirmation whose Info word follows the first dword directly.
class TCapiConfirmation : public TCapiMessage {
public:
    // The Controller, PLCI or NCCI the confirmation refers to.
    quint32 Address = 0;
    quint16 Info = 0;

    void CreateFrom(const quint8* message, size_t available) override;
    QString Describe() const override;
    template <class V> void Fields(V& v) {
        v("Address", Address);
        v("Info", Info);
    }
};

// --- Messages the program sends ---

class TListenReq final : public TCapiMessageImpl<TListenReq, 0x0580> {
public:
    static constexpr const char* MessageName = "LISTEN_REQ";
    quint32 Controller = 0;
    quint32 InfoMask = 0;
    quint32 CIPMask = 0;
    quint32 CIPMask2 = 0;
    std::unique_ptr<TCallingPartyNumber> CallingPartyNumber;
    std::unique_ptr<TCallingPartySubAddress> CallingPartySubAddress;

    TListenReq() = default;
    TListenReq(quint32 controller, quint32 infoMask, quint32 cipMask, quint32 cipMask2,
               std::unique_ptr<TCallingPartyNumber> callingPartyNumber,
               std::unique_ptr<TCallingPartySubAddress> callingPartySubAddress);
    template <class V> void Fields(V& v) {
        v("Controller", Controller);
        v("InfoMask", InfoMask);
        v("CIPMask", CIPMask);
        v("CIPMask2", CIPMask2);
        v("CallingPartyNumber", CallingPartyNumber);
        v("CallingPartySubAddress", CallingPartySubAddress);
    }
};

class TAlertReq final : public TCapiMessageImpl<TAlertReq, 0x0180> {
public:
    static constexpr const char* MessageName = "ALERT_REQ";
    quint32 PLCI = 0;
    std::unique_ptr<TStruct> AdditionalInfo;

    TAlertReq() = default;
    TAlertReq(quint32 plci, std::unique_ptr<TStruct> additionalInfo);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("AdditionalInfo", AdditionalInfo);
    }
};

class TConnectResp final : public TCapiMessageImpl<TConnectResp, 0x0283> {
public:
    static constexpr const char* MessageName = "CONNECT_RESP";
    quint32 PLCI = 0;
    quint16 Reject = 0;
    std::unique_ptr<TBProtocol> BProtocol;
    std::unique_ptr<TCallingPartyNumber> ConnectedNumber;
    std::unique_ptr<TCallingPartySubAddress> ConnectedSubAddress;
    std::unique_ptr<TStruct> LLC;
    std::unique_ptr<TStruct> AdditionalInfo;

    TConnectResp() = default;
    TConnectResp(quint32 plci, quint16 reject, std::unique_ptr<TBProtocol> bProtocol,
                 std::unique_ptr<TCallingPartyNumber> connectedNumber,
                 std::unique_ptr<TCallingPartySubAddress> connectedSubAddress,
                 std::unique_ptr<TStruct> llc, std::unique_ptr<TStruct> additionalInfo);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("Reject", Reject);
        v("BProtocol", BProtocol);
        v("ConnectedNumber", ConnectedNumber);
        v("ConnectedSubAddress", ConnectedSubAddress);
        v("LLC", LLC);
        v("AdditionalInfo", AdditionalInfo);
    }
};

class TConnectActiveResp final : public TCapiMessageImpl<TConnectActiveResp, 0x0383> {
public:
    static constexpr const char* MessageName = "CONNECT_ACTIVE_RESP";
    quint32 PLCI = 0;

    TConnectActiveResp() = default;
    explicit TConnectActiveResp(quint32 plci);
    template <class V> void Fields(V& v) { v("PLCI", PLCI); }
};

class TDisconnectReq final : public TCapiMessageImpl<TDisconnectReq, 0x0480> {
public:
    static constexpr const char* MessageName = "DISCONNECT_REQ";
    quint32 PLCI = 0;
    std::unique_ptr<TStruct> AdditionalInfo;

    TDisconnectReq() = default;
    TDisconnectReq(quint32 plci, std::unique_ptr<TStruct> additionalInfo);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("AdditionalInfo", AdditionalInfo);
    }
};

class TDisconnectResp final : public TCapiMessageImpl<TDisconnectResp, 0x0483> {
public:
    static constexpr const char* MessageName = "DISCONNECT_RESP";
    quint32 PLCI = 0;

    TDisconnectResp() = default;
    explicit TDisconnectResp(quint32 plci);
    template <class V> void Fields(V& v) { v("PLCI", PLCI); }
};

class TInfoResp final : public TCapiMessageImpl<TInfoResp, 0x0883> {
public:
    static constexpr const char* MessageName = "INFO_RESP";
    quint32 PLCI = 0; // Controller or PLCI

    TInfoResp() = default;
    explicit TInfoResp(quint32 plci);
    template <class V> void Fields(V& v) { v("PLCI", PLCI); }
};

class TFacilityResp final : public TCapiMessageImpl<TFacilityResp, 0x8083> {
public:
    static constexpr const char* MessageName = "FACILITY_RESP";
    quint32 Address = 0; // Controller, PLCI or NCCI
    quint16 FacilitySelector = 0;
    std::unique_ptr<TStruct> FacilityResponseParameters;

    TFacilityResp() = default;
    TFacilityResp(quint32 address, quint16 facilitySelector,
                  std::unique_ptr<TStruct> facilityResponseParameters);
    template <class V> void Fields(V& v) {
        v("Address", Address);
        v("FacilitySelector", FacilitySelector);
        v("FacilityResponseParameters", FacilityResponseParameters);
    }
};

class TConnectB3Req final : public TCapiMessageImpl<TConnectB3Req, 0x8280> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_REQ";
    quint32 PLCI = 0;
    std::unique_ptr<TStruct> NCPI;

    TConnectB3Req() = default;
    TConnectB3Req(quint32 plci, std::unique_ptr<TStruct> ncpi);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("NCPI", NCPI);
    }
};

class TConnectB3Resp final : public TCapiMessageImpl<TConnectB3Resp, 0x8283> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_RESP";
    quint32 NCCI = 0;
    quint16 Reject = 0;
    std::unique_ptr<TStruct> NCPI;

    TConnectB3Resp() = default;
    TConnectB3Resp(quint32 ncci, quint16 reject, std::unique_ptr<TStruct> ncpi);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("Reject", Reject);
        v("NCPI", NCPI);
    }
};

class TConnectB3ActiveResp final : public TCapiMessageImpl<TConnectB3ActiveResp, 0x8383> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_ACTIVE_RESP";
    quint32 NCCI = 0;

    TConnectB3ActiveResp() = default;
    explicit TConnectB3ActiveResp(quint32 ncci);
    template <class V> void Fields(V& v) { v("NCCI", NCCI); }
};

class TDisconnectB3Req final : public TCapiMessageImpl<TDisconnectB3Req, 0x8480> {
public:
    static constexpr const char* MessageName = "DISCONNECT_B3_REQ";
    quint32 NCCI = 0;
    std::unique_ptr<TStruct> NCPI;

    TDisconnectB3Req() = default;
    TDisconnectB3Req(quint32 ncci, std::unique_ptr<TStruct> ncpi);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("NCPI", NCPI);
    }
};

class TDisconnectB3Resp final : public TCapiMessageImpl<TDisconnectB3Resp, 0x8483> {
public:
    static constexpr const char* MessageName = "DISCONNECT_B3_RESP";
    quint32 NCCI = 0;

    TDisconnectB3Resp() = default;
    explicit TDisconnectB3Resp(quint32 ncci);
    template <class V> void Fields(V& v) { v("NCCI", NCCI); }
};

class TDataB3Req final : public TCapiMessageImpl<TDataB3Req, 0x8680> {
public:
    static constexpr const char* MessageName = "DATA_B3_REQ";
    quint32 NCCI = 0;
    quint32 Data = 0; // a 32-bit address, as the standard has it
    quint16 DataLength = 0;
    quint16 DataHandle = 0;
    quint16 Flags = 0;

    TDataB3Req() = default;
    TDataB3Req(quint32 ncci, quint32 data, quint16 dataLength, quint16 dataHandle, quint16 flags);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("Data", Data);
        v("DataLength", DataLength);
        v("DataHandle", DataHandle);
        v("Flags", Flags);
    }
};

class TDataB3Resp final : public TCapiMessageImpl<TDataB3Resp, 0x8683> {
public:
    static constexpr const char* MessageName = "DATA_B3_RESP";
    quint32 NCCI = 0;
    quint16 DataHandle = 0;

    TDataB3Resp() = default;
    TDataB3Resp(quint32 ncci, quint16 dataHandle);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("DataHandle", DataHandle);
    }
};

class TResetB3Resp final : public TCapiMessageImpl<TResetB3Resp, 0x8783> {
public:
    static constexpr const char* MessageName = "RESET_B3_RESP";
    quint32 NCCI = 0;

    TResetB3Resp() = default;
    explicit TResetB3Resp(quint32 ncci);
    template <class V> void Fields(V& v) { v("NCCI", NCCI); }
};

class TConnectB3T90ActiveResp final : public TCapiMessageImpl<TConnectB3T90ActiveResp, 0x8883> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_T90_ACTIVE_RESP";
    quint32 NCCI = 0;

    TConnectB3T90ActiveResp() = default;
    explicit TConnectB3T90ActiveResp(quint32 ncci);
    template <class V> void Fields(V& v) { v("NCCI", NCCI); }
};

// --- Messages the driver sends ---
// Their building constructors exist for simulated drivers and tests.

class TConnectInd final : public TCapiMessageImpl<TConnectInd, 0x0282> {
public:
    static constexpr const char* MessageName = "CONNECT_IND";
    quint32 PLCI = 0;
    quint16 CIPValue = 0;
    std::unique_ptr<TCallingPartySubAddress> CalledPartyNumber;
    std::unique_ptr<TCallingPartyNumber> CallingPartyNumber;
    std::unique_ptr<TCallingPartySubAddress> CalledPartySubAddress;
    std::unique_ptr<TCallingPartySubAddress> CallingPartySubAddress;
    std::unique_ptr<TStruct> BC;
    std::unique_ptr<TStruct> LLC;
    std::unique_ptr<TStruct> HLC;
    std::unique_ptr<TStruct> AdditionalInfo;

    TConnectInd() = default;
    TConnectInd(quint32 plci, quint16 cipValue,
                std::unique_ptr<TCallingPartySubAddress> calledPartyNumber,
                std::unique_ptr<TCallingPartyNumber> callingPartyNumber,
                std::unique_ptr<TCallingPartySubAddress> calledPartySubAddress = nullptr,
                std::unique_ptr<TCallingPartySubAddress> callingPartySubAddress = nullptr,
                std::unique_ptr<TStruct> bc = nullptr, std::unique_ptr<TStruct> llc = nullptr,
                std::unique_ptr<TStruct> hlc = nullptr,
                std::unique_ptr<TStruct> additionalInfo = nullptr);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("CIPValue", CIPValue);
        v("CalledPartyNumber", CalledPartyNumber);
        v("CallingPartyNumber", CallingPartyNumber);
        v("CalledPartySubAddress", CalledPartySubAddress);
        v("CallingPartySubAddress", CallingPartySubAddress);
        v("BC", BC);
        v("LLC", LLC);
        v("HLC", HLC);
        v("AdditionalInfo", AdditionalInfo);
    }
};

class TConnectActiveInd final : public TCapiMessageImpl<TConnectActiveInd, 0x0382> {
public:
    static constexpr const char* MessageName = "CONNECT_ACTIVE_IND";
    quint32 PLCI = 0;
    std::unique_ptr<TCallingPartyNumber> ConnectedNumber;
    std::unique_ptr<TCallingPartySubAddress> ConnectedSubAddress;
    std::unique_ptr<TStruct> LLC;

    TConnectActiveInd() = default;
    TConnectActiveInd(quint32 plci, std::unique_ptr<TCallingPartyNumber> connectedNumber = nullptr,
                      std::unique_ptr<TCallingPartySubAddress> connectedSubAddress = nullptr,
                      std::unique_ptr<TStruct> llc = nullptr);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("ConnectedNumber", ConnectedNumber);
        v("ConnectedSubAddress", ConnectedSubAddress);
        v("LLC", LLC);
    }
};

class TDisconnectInd final : public TCapiMessageImpl<TDisconnectInd, 0x0482> {
public:
    static constexpr const char* MessageName = "DISCONNECT_IND";
    quint32 PLCI = 0;
    quint16 Reason = 0;

    TDisconnectInd() = default;
    TDisconnectInd(quint32 plci, quint16 reason);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("Reason", Reason);
    }
};

class TInfoInd final : public TCapiMessageImpl<TInfoInd, 0x0882> {
public:
    static constexpr const char* MessageName = "INFO_IND";
    quint32 PLCI = 0; // Controller or PLCI
    quint16 InfoNumber = 0;
    std::unique_ptr<TStruct> InfoElement;

    TInfoInd() = default;
    TInfoInd(quint32 plci, quint16 infoNumber, std::unique_ptr<TStruct> infoElement);
    template <class V> void Fields(V& v) {
        v("PLCI", PLCI);
        v("InfoNumber", InfoNumber);
        v("InfoElement", InfoElement);
    }
};

class TFacilityInd final : public TCapiMessageImpl<TFacilityInd, 0x8082> {
public:
    static constexpr const char* MessageName = "FACILITY_IND";
    quint32 Address = 0; // Controller, PLCI or NCCI
    quint16 FacilitySelector = 0;
    std::unique_ptr<TStruct> FacilityIndicationParameter;

    TFacilityInd() = default;
    TFacilityInd(quint32 address, quint16 facilitySelector,
                 std::unique_ptr<TStruct> facilityIndicationParameter);
    template <class V> void Fields(V& v) {
        v("Address", Address);
        v("FacilitySelector", FacilitySelector);
        v("FacilityIndicationParameter", FacilityIndicationParameter);
    }
};

// The B3 indications that carry an NCCI and an NCPI only.
template <class Derived, quint16 Word>
class TNcpiIndication : public TCapiMessageImpl<Derived, Word> {
public:
    quint32 NCCI = 0;
    std::unique_ptr<TStruct> NCPI;

    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("NCPI", NCPI);
    }

protected:
    TNcpiIndication() = default;
    // The derived class calls Build once it is whole.
    TNcpiIndication(quint32 ncci, std::unique_ptr<TStruct> ncpi) {
        NCCI = ncci;
        NCPI = std::move(ncpi);
    }
};

class TConnectB3Ind final : public TNcpiIndication<TConnectB3Ind, 0x8282> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_IND";
    TConnectB3Ind() = default;
    TConnectB3Ind(quint32 ncci, std::unique_ptr<TStruct> ncpi)
        : TNcpiIndication(ncci, std::move(ncpi)) {
        Build();
    }
};

class TConnectB3ActiveInd final : public TNcpiIndication<TConnectB3ActiveInd, 0x8382> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_ACTIVE_IND";
    TConnectB3ActiveInd() = default;
    TConnectB3ActiveInd(quint32 ncci, std::unique_ptr<TStruct> ncpi)
        : TNcpiIndication(ncci, std::move(ncpi)) {
        Build();
    }
};

class TResetB3Ind final : public TNcpiIndication<TResetB3Ind, 0x8782> {
public:
    static constexpr const char* MessageName = "RESET_B3_IND";
    TResetB3Ind() = default;
    TResetB3Ind(quint32 ncci, std::unique_ptr<TStruct> ncpi)
        : TNcpiIndication(ncci, std::move(ncpi)) {
        Build();
    }
};

class TConnectB3T90ActiveInd final : public TNcpiIndication<TConnectB3T90ActiveInd, 0x8882> {
public:
    static constexpr const char* MessageName = "CONNECT_B3_T90_ACTIVE_IND";
    TConnectB3T90ActiveInd() = default;
    TConnectB3T90ActiveInd(quint32 ncci, std::unique_ptr<TStruct> ncpi)
        : TNcpiIndication(ncci, std::move(ncpi)) {
        Build();
    }
};

class TDisconnectB3Ind final : public TCapiMessageImpl<TDisconnectB3Ind, 0x8482> {
public:
    static constexpr const char* MessageName = "DISCONNECT_B3_IND";
    quint32 NCCI = 0;
    quint16 ReasonB3 = 0;
    std::unique_ptr<TStruct> NCPI;

    TDisconnectB3Ind() = default;
    TDisconnectB3Ind(quint32 ncci, quint16 reasonB3, std::unique_ptr<TStruct> ncpi);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("ReasonB3", ReasonB3);
        v("NCPI", NCPI);
    }
};

class TDataB3Ind final : public TCapiMessageImpl<TDataB3Ind, 0x8682> {
public:
    static constexpr const char* MessageName = "DATA_B3_IND";
    quint32 NCCI = 0;
    quint32 Data = 0;
    quint16 DataLength = 0;
    quint16 DataHandle = 0;
    quint16 Flags = 0;

    TDataB3Ind() = default;
    TDataB3Ind(quint32 ncci, quint32 data, quint16 dataLength, quint16 dataHandle, quint16 flags);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("Data", Data);
        v("DataLength", DataLength);
        v("DataHandle", DataHandle);
        v("Flags", Flags);
    }
};

// Not a plain confirmation: a facility selector and a struct follow the Info word.
class TFacilityConf final : public TCapiMessageImpl<TFacilityConf, 0x8081> {
public:
    static constexpr const char* MessageName = "FACILITY_CONF";
    quint32 Address = 0;
    quint16 Info = 0;
    quint16 FacilitySelector = 0;
    std::unique_ptr<TStruct> FacilityConfirmationParameter;

    TFacilityConf() = default;
    TFacilityConf(quint32 address, quint16 info, quint16 facilitySelector,
                  std::unique_ptr<TStruct> facilityConfirmationParameter);
    template <class V> void Fields(V& v) {
        v("Address", Address);
        v("Info", Info);
        v("FacilitySelector", FacilitySelector);
        v("FacilityConfirmationParameter", FacilityConfirmationParameter);
    }
};

// Its Info word follows the data handle, not the NCCI.
class TDataB3Conf final : public TCapiMessageImpl<TDataB3Conf, 0x8681> {
public:
    static constexpr const char* MessageName = "DATA_B3_CONF";
    quint32 NCCI = 0;
    quint16 DataHandle = 0;
    quint16 Info = 0;

    TDataB3Conf() = default;
    TDataB3Conf(quint32 ncci, quint16 dataHandle, quint16 info);
    template <class V> void Fields(V& v) {
        v("NCCI", NCCI);
        v("DataHandle", DataHandle);
        v("Info", Info);
    }
};

#define KALVENDO_CAPI_CONFIRMATION(Class, Word, NameText)                                          \
    class Class final : public TCapiMessageImpl<Class, Word, TCapiConfirmation> {                  \
    public:                                                                                        \
        static constexpr const char* MessageName = NameText;                                       \
        Class() = default;                                                                         \
        Class(quint32 address, quint16 info) {                                                     \
            Address = address;                                                                     \
            Info = info;                                                                           \
            Build();                                                                               \
        }                                                                                          \
    };

KALVENDO_CAPI_CONFIRMATION(TAlertConf, 0x0181, "ALERT_CONF")
KALVENDO_CAPI_CONFIRMATION(TConnectConf, 0x0281, "CONNECT_CONF")
KALVENDO_CAPI_CONFIRMATION(TDisconnectConf, 0x0481, "DISCONNECT_CONF")
KALVENDO_CAPI_CONFIRMATION(TListenConf, 0x0581, "LISTEN_CONF")
KALVENDO_CAPI_CONFIRMATION(TInfoConf, 0x0881, "INFO_CONF")
KALVENDO_CAPI_CONFIRMATION(TSelectBProtocolConf, 0x4181, "SELECT_B_PROTOCOL_CONF")
KALVENDO_CAPI_CONFIRMATION(TConnectB3Conf, 0x8281, "CONNECT_B3_CONF")
KALVENDO_CAPI_CONFIRMATION(TDisconnectB3Conf, 0x8481, "DISCONNECT_B3_CONF")
KALVENDO_CAPI_CONFIRMATION(TResetB3Conf, 0x8781, "RESET_B3_CONF")

#undef KALVENDO_CAPI_CONFIRMATION

// Decodes a message received from the driver into the class of its command
// word (indications and confirmations); any other command word gives a plain
// TCapiMessage. At most `available` bytes are read. The caller owns the result.
std::unique_ptr<TCapiMessage> DecodeCapiMessage(const quint8* message, size_t available);
std::unique_ptr<TCapiMessage> DecodeCapiMessage(const QByteArray& message);

// The same for the messages the program sends (requests and responses): what a
// simulated driver or a test reads back. Other command words give a plain message.
std::unique_ptr<TCapiMessage> DecodeOutgoingCapiMessage(const quint8* message, size_t available);
std::unique_ptr<TCapiMessage> DecodeOutgoingCapiMessage(const QByteArray& message);

// TotalLength of raw message bytes (0 when fewer than two bytes are given).
quint16 CapiMessageLength(const quint8* message, size_t available);

} // namespace kalvendo
