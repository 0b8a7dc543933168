#pragma once

#include <cstddef>
#include <istream>
#include <string_view>

#include "data_access/parser.h"

namespace data_access::mysql {

// Keyword codes the MySQL parsers add to the SQL list.
inline constexpr int lxALTER = 1000;
inline constexpr int lxCHARSET = 1001;
inline constexpr int lxCOLUMNS = 1002;
inline constexpr int lxCREATE = 1003;
inline constexpr int lxCROSS = 1004;
inline constexpr int lxDELIMITER = 1005;
inline constexpr int lxDESC = 1006;
inline constexpr int lxDESCRIBE = 1007;
inline constexpr int lxDISTINCTROW = 1008;
inline constexpr int lxENGINES = 1009;
inline constexpr int lxEXPLAIN = 1010;
inline constexpr int lxFORCE = 1011;
inline constexpr int lxFUNCTION = 1012;
inline constexpr int lxHANDLER = 1013;
inline constexpr int lxIGNORE = 1014;
inline constexpr int lxNATURAL = 1015;
inline constexpr int lxPRIVILEGES = 1016;
inline constexpr int lxPROCEDURE = 1017;
inline constexpr int lxPROCESSLIST = 1018;
inline constexpr int lxREPLACE = 1019;
inline constexpr int lxSHOW = 1020;
inline constexpr int lxSLAVE = 1021;
inline constexpr int lxSTATUS = 1022;
inline constexpr int lxSTRAIGHT_JOIN = 1023;
inline constexpr int lxTRIGGER = 1024;
inline constexpr int lxUSE = 1025;

// The SQL keywords and the MySQL ones, built on first use and read-only afterwards.
const TLexemList& MyKeywordLexems();

// The lexer of the MySQL command and record set objects: strings in single or double quotes
// with backslash escapes, identifiers in backquotes, "#" and "-- " comments.
class TMyParser : public TSQLParser {
public:
    explicit TMyParser(std::u16string_view text);
    TMyParser(std::istream& stream, TParserEncoding encoding = TParserEncoding::UTF8);

protected:
    bool IsAlpha(char16_t ch) const noexcept override;
    bool IsStringQuote(char16_t ch) const noexcept override;
    bool IsIdentQuote(char16_t ch) const noexcept override;
    bool IsInlineComment(std::size_t pos) override;
    bool ToRightQuote(char16_t quote) override;

private:
    void InitParser();
};

// The provider's lexer for the components' macro handling: strings in single quotes only,
// identifiers in double quotes or backquotes.
class TMyUniParser : public TMyParser {
public:
    using TMyParser::TMyParser;

protected:
    bool IsStringQuote(char16_t ch) const noexcept override;
    bool IsIdentQuote(char16_t ch) const noexcept override;
};

}  // namespace data_access::mysql
