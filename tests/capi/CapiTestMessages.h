#pragma once

// One sample of every message class, with the bytes the CAPI 2.0 layouts give
// for it (written out by hand, not produced by the codec) and its description.
// Shared by the codec test and the fuzz corpus replay.

#include "capi/CapiMessage.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace capitest {

using namespace kalvendo;

struct Sample {
    const char* name;
    bool outgoing; // sent by the program (request/response)
    std::function<std::unique_ptr<TCapiMessage>()> build;
    const char* hex;
    const char* description;
};

inline std::unique_ptr<TStruct> content(const char* hex) {
    return TStruct::CreateWithContent(QByteArray::fromHex(hex));
}

inline std::unique_ptr<TStruct> empty() {
    return TStruct::CreateEmpty();
}

inline const std::vector<Sample>& samples() {
    static const std::vector<Sample> all = {
        // --- sent by the program ---
        {"LISTEN_REQ of the monitor", true,
         [] {
             return std::make_unique<TListenReq>(
                 1, 0x7F, 0x1FFF03FE, 0,
                 std::make_unique<TCallingPartyNumber>(0x00, 0x80, QString()),
                 std::make_unique<TCallingPartySubAddress>(0x80, QString()));
         },
         "1d000000 0580 0000 01000000 7f000000 fe03ff1f 00000000 020080 0180",
         "LISTEN_REQ Controller=0x1 InfoMask=0x7F CIPMask=0x1FFF03FE CIPMask2=0x0 "
         "CallingPartyNumber=(00 80) CallingPartySubAddress=(80)"},
        {"ALERT_REQ", true, [] { return std::make_unique<TAlertReq>(0x101, empty()); },
         "0d000000 0180 0000 01010000 00", "ALERT_REQ PLCI=0x101 AdditionalInfo=()"},
        {"CONNECT_RESP ignore", true,
         [] {
             return std::make_unique<TConnectResp>(
                 0x101, 1, std::make_unique<TBProtocol>(), std::make_unique<TCallingPartyNumber>(),
                 std::make_unique<TCallingPartySubAddress>(), empty(), empty());
         },
         "13000000 0283 0000 01010000 0100 00 00 00 00 00",
         "CONNECT_RESP PLCI=0x101 Reject=0x1 BProtocol=() ConnectedNumber=() "
         "ConnectedSubAddress=() LLC=() AdditionalInfo=()"},
        {"CONNECT_RESP take", true,
         [] {
             return std::make_unique<TConnectResp>(
                 0x101, 0, std::make_unique<TBProtocol>(1, 1, 0, empty(), empty(), empty()),
                 std::make_unique<TCallingPartyNumber>(),
                 std::make_unique<TCallingPartySubAddress>(), empty(), empty());
         },
         "1c000000 0283 0000 01010000 0000 09 0100 0100 0000 00 00 00 00 00 00 00",
         "CONNECT_RESP PLCI=0x101 Reject=0x0 BProtocol=(1 1 0 () () ()) ConnectedNumber=() "
         "ConnectedSubAddress=() LLC=() AdditionalInfo=()"},
        {"CONNECT_ACTIVE_RESP", true, [] { return std::make_unique<TConnectActiveResp>(0x101); },
         "0c000000 0383 0000 01010000", "CONNECT_ACTIVE_RESP PLCI=0x101"},
        {"DISCONNECT_REQ", true, [] { return std::make_unique<TDisconnectReq>(0x101, empty()); },
         "0d000000 0480 0000 01010000 00", "DISCONNECT_REQ PLCI=0x101 AdditionalInfo=()"},
        {"DISCONNECT_RESP", true, [] { return std::make_unique<TDisconnectResp>(0x101); },
         "0c000000 0483 0000 01010000", "DISCONNECT_RESP PLCI=0x101"},
        {"INFO_RESP", true, [] { return std::make_unique<TInfoResp>(0x101); },
         "0c000000 0883 0000 01010000", "INFO_RESP PLCI=0x101"},
        {"FACILITY_RESP", true,
         [] { return std::make_unique<TFacilityResp>(0x101, 3, content("0102")); },
         "11000000 8083 0000 01010000 0300 020102",
         "FACILITY_RESP Address=0x101 FacilitySelector=0x3 FacilityResponseParameters=(01 02)"},
        {"CONNECT_B3_REQ", true, [] { return std::make_unique<TConnectB3Req>(0x101, empty()); },
         "0d000000 8280 0000 01010000 00", "CONNECT_B3_REQ PLCI=0x101 NCPI=()"},
        {"CONNECT_B3_RESP", true,
         [] { return std::make_unique<TConnectB3Resp>(0x10101, 2, empty()); },
         "0f000000 8283 0000 01010100 0200 00", "CONNECT_B3_RESP NCCI=0x10101 Reject=0x2 NCPI=()"},
        {"CONNECT_B3_ACTIVE_RESP", true,
         [] { return std::make_unique<TConnectB3ActiveResp>(0x10101); },
         "0c000000 8383 0000 01010100", "CONNECT_B3_ACTIVE_RESP NCCI=0x10101"},
        {"DISCONNECT_B3_REQ", true,
         [] { return std::make_unique<TDisconnectB3Req>(0x10101, empty()); },
         "0d000000 8480 0000 01010100 00", "DISCONNECT_B3_REQ NCCI=0x10101 NCPI=()"},
        {"DISCONNECT_B3_RESP", true, [] { return std::make_unique<TDisconnectB3Resp>(0x10101); },
         "0c000000 8483 0000 01010100", "DISCONNECT_B3_RESP NCCI=0x10101"},
        {"DATA_B3_REQ", true,
         [] { return std::make_unique<TDataB3Req>(0x10101, 0x12345678, 0x80, 7, 4); },
         "16000000 8680 0000 01010100 78563412 8000 0700 0400",
         "DATA_B3_REQ NCCI=0x10101 Data=0x12345678 DataLength=0x80 DataHandle=0x7 Flags=0x4"},
        {"DATA_B3_RESP", true, [] { return std::make_unique<TDataB3Resp>(0x10101, 7); },
         "0e000000 8683 0000 01010100 0700", "DATA_B3_RESP NCCI=0x10101 DataHandle=0x7"},
        {"RESET_B3_RESP", true, [] { return std::make_unique<TResetB3Resp>(0x10101); },
         "0c000000 8783 0000 01010100", "RESET_B3_RESP NCCI=0x10101"},
        {"CONNECT_B3_T90_ACTIVE_RESP", true,
         [] { return std::make_unique<TConnectB3T90ActiveResp>(0x10101); },
         "0c000000 8883 0000 01010100", "CONNECT_B3_T90_ACTIVE_RESP NCCI=0x10101"},

        // --- sent by the driver ---
        {"CONNECT_IND national caller", false,
         [] {
             return std::make_unique<TConnectInd>(
                 0x101, 1, std::make_unique<TCallingPartySubAddress>(0x81, QStringLiteral("4711")),
                 std::make_unique<TCallingPartyNumber>(0x21, 0x80, QStringLiteral("301234567")));
         },
         "26000000 0282 0000 01010000 0100 0581 34373131 0b2180 333031323334353637 "
         "00 00 00 00 00 00",
         "CONNECT_IND PLCI=0x101 CIPValue=0x1 CalledPartyNumber=(81 \"4711\") "
         "CallingPartyNumber=(21 80 \"301234567\") CalledPartySubAddress=() "
         "CallingPartySubAddress=() BC=() LLC=() HLC=() AdditionalInfo=()"},
        {"CONNECT_IND every struct", false,
         [] {
             return std::make_unique<TConnectInd>(
                 0x201, 0x10,
                 std::make_unique<TCallingPartySubAddress>(0x81, QStringLiteral("4711")),
                 std::make_unique<TCallingPartyNumber>(0x21, 0x80, QStringLiteral("301234567")),
                 std::make_unique<TCallingPartySubAddress>(0x80, QStringLiteral("12")),
                 std::make_unique<TCallingPartySubAddress>(0x80, QStringLiteral("34")),
                 content("8090a3"), content("8890"), content("9181"), content("07"));
         },
         "34000000 0282 0000 01020000 1000 0581 34373131 0b2180 333031323334353637 "
         "03803132 03803334 038090a3 028890 029181 0107",
         "CONNECT_IND PLCI=0x201 CIPValue=0x10 CalledPartyNumber=(81 \"4711\") "
         "CallingPartyNumber=(21 80 \"301234567\") CalledPartySubAddress=(80 \"12\") "
         "CallingPartySubAddress=(80 \"34\") BC=(80 90 a3) LLC=(88 90) HLC=(91 81) "
         "AdditionalInfo=(07)"},
        {"CONNECT_ACTIVE_IND", false,
         [] {
             return std::make_unique<TConnectActiveInd>(
                 0x101, std::make_unique<TCallingPartyNumber>(0x21, 0x80, QStringLiteral("123")),
                 std::make_unique<TCallingPartySubAddress>(0x80, QStringLiteral("9")), empty());
         },
         "16000000 0382 0000 01010000 052180313233 028039 00",
         "CONNECT_ACTIVE_IND PLCI=0x101 ConnectedNumber=(21 80 \"123\") "
         "ConnectedSubAddress=(80 \"9\") LLC=()"},
        {"DISCONNECT_IND", false, [] { return std::make_unique<TDisconnectInd>(0x101, 0x3490); },
         "0e000000 0482 0000 01010000 9034", "DISCONNECT_IND PLCI=0x101 Reason=0x3490"},
        {"INFO_IND", false, [] { return std::make_unique<TInfoInd>(0x101, 0x28, content("4142")); },
         "11000000 0882 0000 01010000 2800 024142",
         "INFO_IND PLCI=0x101 InfoNumber=0x28 InfoElement=(41 42)"},
        {"FACILITY_IND", false,
         [] { return std::make_unique<TFacilityInd>(0x101, 1, content("05")); },
         "10000000 8082 0000 01010000 0100 0105",
         "FACILITY_IND Address=0x101 FacilitySelector=0x1 FacilityIndicationParameter=(05)"},
        {"CONNECT_B3_IND", false, [] { return std::make_unique<TConnectB3Ind>(0x10101, empty()); },
         "0d000000 8282 0000 01010100 00", "CONNECT_B3_IND NCCI=0x10101 NCPI=()"},
        {"CONNECT_B3_ACTIVE_IND", false,
         [] { return std::make_unique<TConnectB3ActiveInd>(0x10101, content("01")); },
         "0e000000 8382 0000 01010100 0101", "CONNECT_B3_ACTIVE_IND NCCI=0x10101 NCPI=(01)"},
        {"DISCONNECT_B3_IND", false,
         [] { return std::make_unique<TDisconnectB3Ind>(0x10101, 0x3301, empty()); },
         "0f000000 8482 0000 01010100 0133 00",
         "DISCONNECT_B3_IND NCCI=0x10101 ReasonB3=0x3301 NCPI=()"},
        {"DATA_B3_IND", false,
         [] { return std::make_unique<TDataB3Ind>(0x10101, 0x12345678, 0x80, 7, 0); },
         "16000000 8682 0000 01010100 78563412 8000 0700 0000",
         "DATA_B3_IND NCCI=0x10101 Data=0x12345678 DataLength=0x80 DataHandle=0x7 Flags=0x0"},
        {"RESET_B3_IND", false, [] { return std::make_unique<TResetB3Ind>(0x10101, empty()); },
         "0d000000 8782 0000 01010100 00", "RESET_B3_IND NCCI=0x10101 NCPI=()"},
        {"CONNECT_B3_T90_ACTIVE_IND", false,
         [] { return std::make_unique<TConnectB3T90ActiveInd>(0x10101, empty()); },
         "0d000000 8882 0000 01010100 00", "CONNECT_B3_T90_ACTIVE_IND NCCI=0x10101 NCPI=()"},
        {"FACILITY_CONF", false,
         [] { return std::make_unique<TFacilityConf>(0x101, 0x300B, 3, content("0000")); },
         "13000000 8081 0000 01010000 0b30 0300 020000",
         "FACILITY_CONF Address=0x101 Info=0x300B FacilitySelector=0x3 "
         "FacilityConfirmationParameter=(00 00)"},
        {"DATA_B3_CONF", false, [] { return std::make_unique<TDataB3Conf>(0x10101, 7, 0x300C); },
         "10000000 8681 0000 01010100 0700 0c30",
         "DATA_B3_CONF NCCI=0x10101 DataHandle=0x7 Info=0x300C"},
        {"ALERT_CONF", false, [] { return std::make_unique<TAlertConf>(0x101, 0); },
         "0e000000 0181 0000 01010000 0000", "ALERT_CONF Address=0x101 Info=0x0"},
        {"CONNECT_CONF", false, [] { return std::make_unique<TConnectConf>(0x101, 0x2003); },
         "0e000000 0281 0000 01010000 0320", "CONNECT_CONF Address=0x101 Info=0x2003"},
        {"DISCONNECT_CONF", false, [] { return std::make_unique<TDisconnectConf>(0x101, 0); },
         "0e000000 0481 0000 01010000 0000", "DISCONNECT_CONF Address=0x101 Info=0x0"},
        {"LISTEN_CONF", false, [] { return std::make_unique<TListenConf>(1, 0x2002); },
         "0e000000 0581 0000 01000000 0220", "LISTEN_CONF Address=0x1 Info=0x2002"},
        {"INFO_CONF", false, [] { return std::make_unique<TInfoConf>(0x101, 0); },
         "0e000000 0881 0000 01010000 0000", "INFO_CONF Address=0x101 Info=0x0"},
        {"SELECT_B_PROTOCOL_CONF", false,
         [] { return std::make_unique<TSelectBProtocolConf>(0x101, 0x3007); },
         "0e000000 4181 0000 01010000 0730", "SELECT_B_PROTOCOL_CONF Address=0x101 Info=0x3007"},
        {"CONNECT_B3_CONF", false, [] { return std::make_unique<TConnectB3Conf>(0x10101, 0); },
         "0e000000 8281 0000 01010100 0000", "CONNECT_B3_CONF Address=0x10101 Info=0x0"},
        {"DISCONNECT_B3_CONF", false,
         [] { return std::make_unique<TDisconnectB3Conf>(0x10101, 0); },
         "0e000000 8481 0000 01010100 0000", "DISCONNECT_B3_CONF Address=0x10101 Info=0x0"},
        {"RESET_B3_CONF", false, [] { return std::make_unique<TResetB3Conf>(0x10101, 0x300D); },
         "0e000000 8781 0000 01010100 0d30", "RESET_B3_CONF Address=0x10101 Info=0x300D"},
    };
    return all;
}

inline QByteArray bytes(const Sample& s) {
    return QByteArray::fromHex(s.hex);
}

} // namespace capitest
