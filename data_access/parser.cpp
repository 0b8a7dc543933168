#include "data_access/parser.h"

#include <algorithm>
#include <locale>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace data_access {

namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';
constexpr std::u16string_view CommentBegin = u"/*";
constexpr std::u16string_view CommentEnd = u"*/";

constexpr int SQLClauses[] = {lxWHERE, lxGROUP, lxHAVING, lxUNION, lxINTERSECT, lxMINUS, lxORDER};

char16_t LocaleDecimalSeparator() {
    return static_cast<unsigned char>(
        std::use_facet<std::numpunct<char>>(std::locale()).decimal_point());
}

}  // namespace

const TLexemList& CommonSymbolLexems() {
    static const TLexemList list = {
        {u"!", 1},  {u"\"", 2}, {u"#", 3},   {u"$", 4},  {u"%", 5},  {u"&", 6},  {u"'", 7},
        {u"(", 8},  {u")", 9},  {u"*", 10},  {u"+", 11}, {u",", 12}, {u"-", 13}, {u".", 14},
        {u"/", 15}, {u":", 16}, {u";", 17},  {u"<", 18}, {u"=", 19}, {u">", 20}, {u"?", 21},
        {u"@", 22}, {u"[", 23}, {u"\\", 24}, {u"]", 25}, {u"^", 26}, {u"_", 27}, {u"`", 28},
    };
    return list;
}

const TLexemList& CommonKeywordLexems() {
    static const TLexemList list = {{u"AND", 29}, {u"NOT", 30}, {u"OR", 31}};
    return list;
}

const TLexemList& SQLSymbolLexems() {
    static const TLexemList list = {{u"*", 1}, {u"=", 2}, {u":", 3}, {u",", 4},
                                    {u".", 5}, {u"/", 6}, {u";", 7}};
    return list;
}

const TLexemList& SQLKeywordLexems() {
    static const TLexemList list = {
        {u"ALL", lxALL},
        {u"AND", lxAND},
        {u"AS", lxAS},
        {u"BEGIN", lxBEGIN},
        {u"BY", lxBY},
        {u"COMMIT", lxCOMMIT},
        {u"DELETE", lxDELETE},
        {u"DISTINCT", lxDISTINCT},
        {u"END", lxEND},
        {u"EXECUTE", lxEXECUTE},
        {u"FETCH", lxFETCH},
        {u"FOR", lxFOR},
        {u"FROM", lxFROM},
        {u"FULL", lxFULL},
        {u"GROUP", lxGROUP},
        {u"HAVING", lxHAVING},
        {u"INNER", lxINNER},
        {u"INSERT", lxINSERT},
        {u"INTO", lxINTO},
        {u"IS", lxIS},
        {u"JOIN", lxJOIN},
        {u"LEFT", lxLEFT},
        {u"LIMIT", lxLIMIT},
        {u"LOCK", lxLOCK},
        {u"MINUS", lxMINUS},
        {u"NOT", lxNOT},
        {u"OFFSET", lxOFFSET},
        {u"ON", lxON},
        {u"OR", lxOR},
        {u"ORDER", lxORDER},
        {u"OUTER", lxOUTER},
        {u"RELEASE", lxRELEASE},
        {u"RETURNING", lxRETURNING},
        {u"RIGHT", lxRIGHT},
        {u"ROLLBACK", lxROLLBACK},
        {u"SAVEPOINT", lxSAVEPOINT},
        {u"SELECT", lxSELECT},
        {u"SET", lxSET},
        {u"TO", lxTO},
        {u"TRANSACTION", lxTRANSACTION},
        {u"UNION", lxUNION},
        {u"UPDATE", lxUPDATE},
        {u"WHERE", lxWHERE},
        {u"WITH", lxWITH},
    };
    return list;
}

// TParser

TParser::TParser(std::u16string_view text) : FSource(text) {
    InitParser();
}

TParser::TParser(std::istream& stream, TParserEncoding encoding) : FSource(stream, encoding) {
    InitParser();
}

void TParser::InitParser() {
    FSymbolLexems = &CommonSymbolLexems();
    FKeywordLexems = &CommonKeywordLexems();
    FDecSeparator = LocaleDecimalSeparator();
}

void TParser::SetText(std::u16string_view text) {
    FSource = TParserSource(text);
    ToBegin();
}

void TParser::ToBegin() {
    FSource.Rewind();
    FPos = 0;
    FOld = {};
    FOldOld = {};
    FCurrLine = 0;
    FCurrBegLine = 0;
    FToken = lcBlank;
    FLexem.clear();
    FLexemPos = 0;
}

void TParser::Back() {
    FPos = FOld.Pos;
    FCurrLine = FOld.Line;
    FCurrBegLine = FOld.BegLine;
    FOld = FOldOld;
}

int TParser::GetNext(std::u16string& lexem) {
    const int token = GetNextToken();
    lexem = FLexem;
    return token;
}

int TParser::GetNextToken() {
    // Back needs the text from the start of the last token on.
    FSource.Release(FOldOld.Pos);
    FOldOld = FOld;
    for (;;) {
        const TMark blankStart = Mark();
        SkipBlanks();
        if (FPos > blankStart.Pos && !FOmitBlank) {
            return SetLexem(lcBlank, blankStart, blankStart.Pos, FPos);
        }
        const TMark commentStart = Mark();
        if (!HasChar(FPos)) {
            return SetLexem(lcEnd, commentStart, FPos, FPos);
        }
        if (!SkipComment()) {
            break;
        }
        if (!FOmitComment) {
            return SetLexem(lcComment, commentStart, commentStart.Pos, FPos);
        }
    }

    const TMark start = Mark();
    const char16_t ch = CharAt(FPos);
    if (IsStringQuote(ch)) {
        const bool closed = ToRightQuote(ch);
        if (FQuotedString) {
            return SetLexem(lcString, start, start.Pos, FPos);
        }
        return SetLexem(lcString, start, start.Pos + 1, closed ? FPos - 1 : FPos);
    }
    if (IsIdentQuote(ch)) {
        ToRightQuote(ch);
        return SetLexem(lcIdent, start, start.Pos, FPos);
    }
    if (IsAlpha(ch) || ch == u'_') {
        return ReadWord(start);
    }
    if (IsSymbol(ch)) {
        ++FPos;
        const int code = FSymbolLexems->Find(std::u16string_view(&ch, 1));
        return SetLexem(code > 0 ? code : lcSymbol, start, start.Pos, FPos);
    }
    if (IsNumber(ch)) {
        return ReadNumber(start);
    }
    RaiseUnknownSymbol(ch);
}

int TParser::ToLexem(int code, bool skipSubQueries) {
    int depth = 0;
    for (;;) {
        const int token = GetNextToken();
        if (token == lcEnd || (token == code && depth == 0)) {
            return token;
        }
        if (skipSubQueries) {
            FollowParentheses(token, depth);
        }
    }
}

int TParser::ToLexem(std::span<const int> codes) {
    int depth = 0;
    for (;;) {
        const int token = GetNextToken();
        if (token == lcEnd ||
            (depth == 0 && std::find(codes.begin(), codes.end(), token) != codes.end())) {
            return token;
        }
        FollowParentheses(token, depth);
    }
}

bool TParser::ToLexem(std::u16string_view text) {
    for (;;) {
        const int token = GetNextToken();
        if (token == lcEnd) {
            return false;
        }
        const bool symbolOrIdent = token > 0 || token == lcSymbol || token == lcIdent;
        if (symbolOrIdent && CompareTextAscii(FLexem, text) == 0) {
            return true;
        }
    }
}

void TParser::FollowParentheses(int token, int& depth) const noexcept {
    // A string's content may be a lone parenthesis too.
    if (token == lcString) {
        return;
    }
    if (FLexem == u"(") {
        ++depth;
    } else if (FLexem == u")" && depth > 0) {
        --depth;
    }
}

bool TParser::IsSymbolCode(int code) const noexcept {
    return FSymbolLexems->HasCode(code);
}

std::u16string_view TParser::GetSymbolByCode(int code) const noexcept {
    const std::u16string_view symbol = FSymbolLexems->TextOf(code);
    return symbol.empty() ? FKeywordLexems->TextOf(code) : symbol;
}

bool TParser::IsBlank(char16_t ch) const noexcept {
    return ch == u'\t' || ch == LF || ch == CR || ch == u' ';
}

bool TParser::IsSymbol(char16_t ch) const noexcept {
    return (ch >= 33 && ch <= 47) || (ch >= 58 && ch <= 64) || (ch >= 91 && ch <= 94) || ch == 96 ||
           (ch >= 123 && ch <= 126);
}

bool TParser::IsAlpha(char16_t ch) const noexcept {
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || ch >= 128;
}

bool TParser::IsNumber(char16_t ch) const noexcept {
    return ch >= u'0' && ch <= u'9';
}

bool TParser::IsStringQuote(char16_t ch) const noexcept {
    return ch == u'\'' || ch == u'"';
}

bool TParser::ToRightQuote(char16_t quote) {
    ++FPos;
    while (HasChar(FPos)) {
        if (CharAt(FPos) == quote) {
            ++FPos;
            return true;
        }
        SkipChar();
    }
    return false;
}

bool TParser::IsIdentQuote(char16_t) const noexcept {
    return false;
}

bool TParser::IsInlineComment(std::size_t pos) {
    return TextAt(pos, u"//");
}

bool TParser::TextAt(std::size_t pos, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!HasChar(pos + i) || CharAt(pos + i) != text[i]) {
            return false;
        }
    }
    return true;
}

void TParser::SkipChar() {
    const char16_t ch = CharAt(FPos);
    ++FPos;
    if (ch == LF || (ch == CR && !(HasChar(FPos) && CharAt(FPos) == LF))) {
        ++FCurrLine;
        FCurrBegLine = FPos;
    }
}

void TParser::SkipBlanks() {
    while (HasChar(FPos) && IsBlank(CharAt(FPos))) {
        SkipChar();
    }
}

bool TParser::SkipComment() {
    if (IsInlineComment(FPos)) {
        while (HasChar(FPos) && CharAt(FPos) != CR && CharAt(FPos) != LF) {
            ++FPos;
        }
        return true;
    }
    if (!TextAt(FPos, CommentBegin)) {
        return false;
    }
    FPos += CommentBegin.size();
    while (HasChar(FPos)) {
        if (TextAt(FPos, CommentEnd)) {
            FPos += CommentEnd.size();
            break;
        }
        SkipChar();
    }
    return true;
}

int TParser::ReadWord(const TMark& start) {
    ++FPos;
    while (HasChar(FPos)) {
        const char16_t ch = CharAt(FPos);
        if (!IsAlpha(ch) && !IsNumber(ch) && ch != u'_') {
            break;
        }
        ++FPos;
    }
    const int token = SetLexem(lcIdent, start, start.Pos, FPos);
    const int keyword = FOmitKeywords ? 0 : FKeywordLexems->Find(FLexem);
    if (keyword <= 0) {
        return token;
    }
    if (FUppered) {
        std::transform(FLexem.begin(), FLexem.end(), FLexem.begin(), ToUpperAscii);
    }
    FToken = keyword;
    return keyword;
}

int TParser::ReadNumber(const TMark& start) {
    const auto skipDigits = [this] {
        while (HasChar(FPos) && IsNumber(CharAt(FPos))) {
            ++FPos;
        }
    };
    skipDigits();
    if (HasChar(FPos + 1) && CharAt(FPos) == FDecSeparator && IsNumber(CharAt(FPos + 1))) {
        ++FPos;
        skipDigits();
    }
    return SetLexem(lcNumber, start, start.Pos, FPos);
}

int TParser::SetLexem(int token, const TMark& start, std::size_t from, std::size_t to) {
    FOld = start;
    FToken = token;
    FLexemPos = from;
    FLexem.assign(FSource.Slice(from, to));
    return token;
}

void TParser::RaiseUnknownSymbol(char16_t ch) const {
    // Only control characters and DEL are of no class, so the character is one byte as text.
    throw platform::Exception(std::string("Parser: The unknown symbol '") + char(ch) +
                              platform::Format("'  $%04X", unsigned(ch)));
}

// TSQLParser

TSQLParser::TSQLParser(std::u16string_view text) : TParser(text) {
    InitParser();
}

TSQLParser::TSQLParser(std::istream& stream, TParserEncoding encoding) : TParser(stream, encoding) {
    InitParser();
}

void TSQLParser::InitParser() {
    FSymbolLexems = &SQLSymbolLexems();
    FKeywordLexems = &SQLKeywordLexems();
    FDecSeparator = u'.';
    FClauses = SQLClauses;
}

int TSQLParser::PosClauseLexem(int code) const noexcept {
    const auto found = std::find(FClauses.begin(), FClauses.end(), code);
    return found == FClauses.end() ? -1 : int(found - FClauses.begin());
}

int TSQLParser::CompareClauseLexems(int code1, int code2) const noexcept {
    const int pos1 = PosClauseLexem(code1);
    const int pos2 = PosClauseLexem(code2);
    if (pos1 < 0 || pos2 < 0) {
        return -2;
    }
    return pos1 < pos2 ? -1 : (pos1 > pos2 ? 1 : 0);
}

bool TSQLParser::IsFunctionOrConst(std::u16string_view name) const noexcept {
    return CompareTextAscii(name, u"NULL") == 0;
}

bool TSQLParser::IsAlpha(char16_t ch) const noexcept {
    return TParser::IsAlpha(ch) || ch == u'#' || ch == u'$';
}

bool TSQLParser::IsStringQuote(char16_t ch) const noexcept {
    return ch == u'\'';
}

bool TSQLParser::IsIdentQuote(char16_t ch) const noexcept {
    return ch == u'"';
}

bool TSQLParser::IsInlineComment(std::size_t pos) {
    return TextAt(pos, u"--");
}

}  // namespace data_access
