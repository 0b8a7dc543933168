#pragma once

#include <cstddef>
#include <istream>
#include <span>
#include <string>
#include <string_view>

#include "data_access/lexem_list.h"
#include "data_access/parser_source.h"

namespace data_access {

// Token codes besides the positive codes of a parser's symbols and keywords.
inline constexpr int lcEnd = 0;  // no more text
inline constexpr int lcLexem = -100;
inline constexpr int lcSymbol = -102;  // a symbol character not in the symbol list
inline constexpr int lcIdent = -103;   // identifier or quoted identifier
inline constexpr int lcNumber = -105;
inline constexpr int lcString = -106;   // quoted string
inline constexpr int lcBlank = -107;    // only when blanks are not omitted
inline constexpr int lcComment = -108;  // only when comments are not omitted

// Keyword codes of the SQL parsers. INTERSECT and ONLY have codes but are not in the keyword
// list: they lex as plain identifiers.
inline constexpr int lxALL = 100;
inline constexpr int lxAND = 101;
inline constexpr int lxAS = 102;
inline constexpr int lxBEGIN = 103;
inline constexpr int lxBY = 104;
inline constexpr int lxCOMMIT = 105;
inline constexpr int lxDELETE = 106;
inline constexpr int lxDISTINCT = 107;
inline constexpr int lxEND = 108;
inline constexpr int lxEXECUTE = 109;
inline constexpr int lxFETCH = 110;
inline constexpr int lxFOR = 111;
inline constexpr int lxFROM = 112;
inline constexpr int lxFULL = 113;
inline constexpr int lxGROUP = 114;
inline constexpr int lxHAVING = 115;
inline constexpr int lxINNER = 116;
inline constexpr int lxINSERT = 117;
inline constexpr int lxINTERSECT = 118;
inline constexpr int lxINTO = 119;
inline constexpr int lxIS = 120;
inline constexpr int lxJOIN = 121;
inline constexpr int lxLEFT = 122;
inline constexpr int lxLIMIT = 123;
inline constexpr int lxLOCK = 124;
inline constexpr int lxMINUS = 125;
inline constexpr int lxNOT = 126;
inline constexpr int lxOFFSET = 127;
inline constexpr int lxON = 128;
inline constexpr int lxONLY = 129;
inline constexpr int lxOR = 130;
inline constexpr int lxORDER = 131;
inline constexpr int lxOUTER = 132;
inline constexpr int lxRELEASE = 133;
inline constexpr int lxRETURNING = 134;
inline constexpr int lxRIGHT = 135;
inline constexpr int lxROLLBACK = 136;
inline constexpr int lxSAVEPOINT = 137;
inline constexpr int lxSELECT = 138;
inline constexpr int lxSET = 139;
inline constexpr int lxTO = 140;
inline constexpr int lxTRANSACTION = 141;
inline constexpr int lxUNION = 142;
inline constexpr int lxUPDATE = 143;
inline constexpr int lxWHERE = 144;
inline constexpr int lxWITH = 145;

// The shared lists, built on first use and read-only afterwards.
const TLexemList& CommonSymbolLexems();   // 28 symbol characters, codes 1 to 28
const TLexemList& CommonKeywordLexems();  // AND, NOT, OR
const TLexemList& SQLSymbolLexems();      // * = : , . / ;
const TLexemList& SQLKeywordLexems();

// A configurable SQL lexer. It reads one lexeme at a time; quoted strings, quoted identifiers
// and comments are always single lexemes, so markers inside them are never seen as markers.
// Unterminated strings, quoted identifiers and comments run to the end of the text; a character
// of no class raises an exception. Positions are 0-based character positions; lines count
// from 0.
//
// The base class: strings in single or double quotes, "//" and "/* */" comments, the locale's
// decimal separator.
class TParser {
public:
    static constexpr std::size_t BLOCK_SIZE = TParserSource::BLOCK_SIZE;

    explicit TParser(std::u16string_view text);
    // Reads the text from the stream's current position in blocks of BLOCK_SIZE characters.
    TParser(std::istream& stream, TParserEncoding encoding = TParserEncoding::UTF8);
    virtual ~TParser() = default;

    TParser(const TParser&) = delete;
    TParser& operator=(const TParser&) = delete;

    void SetText(std::u16string_view text);
    void ToBegin();
    // Returns to the start of the last lexeme, so it is read again.
    void Back();

    int GetNext(std::u16string& lexem);
    int GetNextToken();
    // Reads up to the first token with that code and returns it, lcEnd when there is none. With
    // skipSubQueries, tokens inside parentheses do not count.
    int ToLexem(int code, bool skipSubQueries = false);
    // Reads up to the first token outside parentheses whose code is one of codes.
    int ToLexem(std::span<const int> codes);
    // Reads up to the first symbol or identifier equal to text ignoring case; false at the end.
    bool ToLexem(std::u16string_view text);

    // The last token and its lexeme, the characters [LexemPos, LexemPos + LexemLength); a string
    // lexeme without its quotes starts after the opening quote.
    int Token() const noexcept { return FToken; }
    const std::u16string& Lexem() const noexcept { return FLexem; }
    std::size_t LexemPos() const noexcept { return FLexemPos; }
    std::size_t LexemLength() const noexcept { return FLexem.size(); }

    // Where the next lexeme is read from, and where the last two tokens started.
    std::size_t CurrPos() const noexcept { return FPos; }
    std::size_t PrevPos() const noexcept { return FOld.Pos; }
    std::size_t PrevPrevPos() const noexcept { return FOldOld.Pos; }
    int CurrLine() const noexcept { return FCurrLine; }
    int PrevLine() const noexcept { return FOld.Line; }
    std::size_t CurrCol() const noexcept { return FPos - FCurrBegLine; }
    std::size_t PrevCol() const noexcept { return FOld.Pos - FOld.BegLine; }

    bool IsSymbolCode(int code) const noexcept;
    // The text of a symbol or keyword code, empty for any other code.
    std::u16string_view GetSymbolByCode(int code) const noexcept;

    // Blanks are skipped (default) or returned as lcBlank.
    bool GetOmitBlank() const noexcept { return FOmitBlank; }
    void SetOmitBlank(bool value) noexcept { FOmitBlank = value; }
    // Comments are returned as lcComment (default) or skipped.
    bool GetOmitComment() const noexcept { return FOmitComment; }
    void SetOmitComment(bool value) noexcept { FOmitComment = value; }
    // Keywords are returned upper-cased (default) or as written.
    bool GetUppered() const noexcept { return FUppered; }
    void SetUppered(bool value) noexcept { FUppered = value; }
    // String lexemes keep their quotes, or not (default).
    bool GetQuotedString() const noexcept { return FQuotedString; }
    void SetQuotedString(bool value) noexcept { FQuotedString = value; }
    // Keywords are not looked up: they come as plain identifiers.
    bool GetOmitKeywords() const noexcept { return FOmitKeywords; }
    void SetOmitKeywords(bool value) noexcept { FOmitKeywords = value; }
    char16_t GetDecSeparator() const noexcept { return FDecSeparator; }
    void SetDecSeparator(char16_t value) noexcept { FDecSeparator = value; }

protected:
    bool IsBlank(char16_t ch) const noexcept;
    bool IsSymbol(char16_t ch) const noexcept;
    virtual bool IsAlpha(char16_t ch) const noexcept;
    bool IsNumber(char16_t ch) const noexcept;
    virtual bool IsStringQuote(char16_t ch) const noexcept;
    // From the opening quote at CurrPos, moves past the closing one, or to the end of the text
    // when there is none; returns whether it was found.
    virtual bool ToRightQuote(char16_t quote);
    virtual bool IsIdentQuote(char16_t ch) const noexcept;
    // Whether a comment to the end of the line starts at pos.
    virtual bool IsInlineComment(std::size_t pos);

    bool HasChar(std::size_t pos) { return FSource.Has(pos); }
    char16_t CharAt(std::size_t pos) const noexcept { return FSource.At(pos); }
    bool TextAt(std::size_t pos, std::u16string_view text);
    // Moves past the character at CurrPos, counting line breaks (CR LF is one).
    void SkipChar();

    std::size_t FPos = 0;
    const TLexemList* FSymbolLexems = nullptr;
    const TLexemList* FKeywordLexems = nullptr;
    char16_t FDecSeparator = u'.';

private:
    // A place in the text with its line and the position where that line begins.
    struct TMark {
        std::size_t Pos = 0;
        int Line = 0;
        std::size_t BegLine = 0;
    };

    void InitParser();
    TMark Mark() const noexcept { return {FPos, FCurrLine, FCurrBegLine}; }
    void SkipBlanks();
    bool SkipComment();
    int ReadWord(const TMark& start);
    int ReadNumber(const TMark& start);
    // Counts the depth of parentheses for searches that skip subqueries.
    void FollowParentheses(int token, int& depth) const noexcept;
    int SetLexem(int token, const TMark& start, std::size_t from, std::size_t to);
    [[noreturn]] void RaiseUnknownSymbol(char16_t ch) const;

    TParserSource FSource;
    TMark FOld;     // start of the last token
    TMark FOldOld;  // start of the token before it
    int FCurrLine = 0;
    std::size_t FCurrBegLine = 0;
    bool FOmitBlank = true;
    bool FOmitComment = false;
    bool FUppered = true;
    bool FQuotedString = false;
    bool FOmitKeywords = false;
    int FToken = lcBlank;
    std::u16string FLexem;
    std::size_t FLexemPos = 0;
};

// The SQL flavour: strings in single quotes, identifiers in double quotes, "--" comments, "#"
// and "$" as letters, "." as decimal separator, and the clause questions statement helpers ask.
class TSQLParser : public TParser {
public:
    explicit TSQLParser(std::u16string_view text);
    TSQLParser(std::istream& stream, TParserEncoding encoding = TParserEncoding::UTF8);

    bool IsClauseLexem(int code) const noexcept { return PosClauseLexem(code) >= 0; }
    // The clause's place in statement order, -1 when the code is no clause.
    int PosClauseLexem(int code) const noexcept;
    // -2 when either code is no clause, else -1, 0 or 1 by clause order.
    int CompareClauseLexems(int code1, int code2) const noexcept;
    // A macro reference may follow any token but a string.
    bool IsMacroAllowed(int code) const noexcept { return code != lcString; }
    bool IsNumericMacroNameAllowed() const noexcept { return false; }
    bool IsSelectModifier(int code) const noexcept { return code == lxALL || code == lxDISTINCT; }
    bool IsFunctionOrConst(std::u16string_view name) const noexcept;
    bool IsQuasiColumn(std::u16string_view) const noexcept { return false; }

protected:
    bool IsAlpha(char16_t ch) const noexcept override;
    bool IsStringQuote(char16_t ch) const noexcept override;
    bool IsIdentQuote(char16_t ch) const noexcept override;
    bool IsInlineComment(std::size_t pos) override;

    // Clause keyword codes in statement order.
    std::span<const int> FClauses;

private:
    void InitParser();
};

}  // namespace data_access
