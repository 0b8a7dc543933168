#include "data_access/mysql/my_parser.h"

namespace data_access::mysql {

namespace {

constexpr int MyClauses[] = {lxWHERE, lxGROUP,     lxHAVING, lxORDER,
                             lxLIMIT, lxPROCEDURE, lxFOR,    lxLOCK};

}  // namespace

const TLexemList& MyKeywordLexems() {
    static const TLexemList list = [] {
        TLexemList words = {
            {u"ALTER", lxALTER},
            {u"CHARSET", lxCHARSET},
            {u"COLUMNS", lxCOLUMNS},
            {u"CREATE", lxCREATE},
            {u"CROSS", lxCROSS},
            {u"DELIMITER", lxDELIMITER},
            {u"DESC", lxDESC},
            {u"DESCRIBE", lxDESCRIBE},
            {u"DISTINCTROW", lxDISTINCTROW},
            {u"ENGINES", lxENGINES},
            {u"EXPLAIN", lxEXPLAIN},
            {u"FORCE", lxFORCE},
            {u"FUNCTION", lxFUNCTION},
            {u"HANDLER", lxHANDLER},
            {u"IGNORE", lxIGNORE},
            {u"NATURAL", lxNATURAL},
            {u"PRIVILEGES", lxPRIVILEGES},
            {u"PROCEDURE", lxPROCEDURE},
            {u"PROCESSLIST", lxPROCESSLIST},
            {u"REPLACE", lxREPLACE},
            {u"SHOW", lxSHOW},
            {u"SLAVE", lxSLAVE},
            {u"STATUS", lxSTATUS},
            {u"STRAIGHT_JOIN", lxSTRAIGHT_JOIN},
            {u"TRIGGER", lxTRIGGER},
            {u"USE", lxUSE},
        };
        words.Add(SQLKeywordLexems());
        return words;
    }();
    return list;
}

// TMyParser

TMyParser::TMyParser(std::u16string_view text) : TSQLParser(text) {
    InitParser();
}

TMyParser::TMyParser(std::istream& stream, TParserEncoding encoding)
    : TSQLParser(stream, encoding) {
    InitParser();
}

void TMyParser::InitParser() {
    FKeywordLexems = &MyKeywordLexems();
    FClauses = MyClauses;
}

bool TMyParser::IsAlpha(char16_t ch) const noexcept {
    // Here "#" starts a comment and "$" is a symbol, not a letter.
    return TParser::IsAlpha(ch);
}

bool TMyParser::IsStringQuote(char16_t ch) const noexcept {
    return ch == u'\'' || ch == u'"';
}

bool TMyParser::IsIdentQuote(char16_t ch) const noexcept {
    return ch == u'`';
}

bool TMyParser::IsInlineComment(std::size_t pos) {
    return (HasChar(pos) && CharAt(pos) == u'#') || TextAt(pos, u"-- ");
}

bool TMyParser::ToRightQuote(char16_t quote) {
    // In strings a backslash takes the next character as it is; quoted names have no escapes.
    if (!IsStringQuote(quote)) {
        return TSQLParser::ToRightQuote(quote);
    }
    ++FPos;
    while (HasChar(FPos)) {
        const char16_t ch = CharAt(FPos);
        if (ch == quote) {
            ++FPos;
            return true;
        }
        SkipChar();
        if (ch == u'\\' && HasChar(FPos)) {
            SkipChar();
        }
    }
    return false;
}

// TMyUniParser

bool TMyUniParser::IsStringQuote(char16_t ch) const noexcept {
    return ch == u'\'';
}

bool TMyUniParser::IsIdentQuote(char16_t ch) const noexcept {
    return ch == u'"' || ch == u'`';
}

}  // namespace data_access::mysql
