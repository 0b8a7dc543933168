#pragma once

#include "data_access/cr_props.h"

namespace data_access::mysql {

// Property numbers of the MySQL provider's objects.
inline constexpr int prConnectionTimeout = 1001;
inline constexpr int prFieldsAsString = 1005;
inline constexpr int prNullForZeroDate = 1006;
inline constexpr int prCompress = 1007;
inline constexpr int prCharset = 1009;
inline constexpr int prProtocol = 1011;
inline constexpr int prEnableBoolean = 1014;
inline constexpr int prCreateConnection = 1015;
inline constexpr int prCommandTimeout = 1016;
inline constexpr int prOpenNext = 1017;
inline constexpr int prUseUnicode = 1018;
inline constexpr int prEmbParams = 1019;
inline constexpr int prSSL_Cipher = 1020;
inline constexpr int prSSL_CA = 1021;
inline constexpr int prSSL_Key = 1022;
inline constexpr int prSSL_Cert = 1023;
inline constexpr int prIsCanOpenNext = 1025;
inline constexpr int prParamPosition = 1027;
inline constexpr int prFillParamPosition = 1028;
inline constexpr int prUseHandler = 1029;
inline constexpr int prEmbedded = 1030;
inline constexpr int prDirect = 1031;
inline constexpr int prCheckPrecision = 1032;
inline constexpr int prOptimizedBigInt = 1033;
inline constexpr int prBinaryAsString = 1034;
inline constexpr int prCheckBackslashes = 1035;
inline constexpr int prNeedBackslashes = 1036;
inline constexpr int prNullForZeroDelphiDate = 1041;
inline constexpr int prInteractive = 1042;
inline constexpr int prMaxAllowedPacket = 1043;

// How a connection reaches the server.
enum TMyProtocol {
    mpDefault = 0,
    mpTCP = 1,
    mpSocket = 2,
    mpPipe = 3,
    mpMemory = 4,
    mpSSL = 5,
    mpHttp = 6
};

}  // namespace data_access::mysql
