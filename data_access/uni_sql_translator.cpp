#include "data_access/uni_sql_translator.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"

namespace data_access {

namespace {

using platform::String;
using platform::StringView;

constexpr std::string_view UnexpectedCharacter = "Unexpected character";
constexpr std::string_view UnexpectedElse = "Unexpected {else}";
constexpr std::string_view UnexpectedEndif = "Unexpected {endif}";
constexpr std::string_view IfNotCompleted = "{if} statement not completed";
constexpr std::string_view EmptyName = "Empty macro or function name";

[[noreturn]] void Raise(std::string_view message) {
    throw platform::EDatabaseError(std::string(message));
}

// Whether the text has anything to translate: a brace, a double quote or two dashes. One pass
// over the characters; most statements have none of them.
bool NeedsTranslation(StringView text) noexcept {
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char16_t ch = text[i];
        if (ch == u'{' || ch == u'"' || (ch == u'-' && i + 1 < size && text[i + 1] == u'-')) {
            return true;
        }
    }
    return false;
}

// The provider's forms use "%s" only: "%s" takes the next argument, "%N:s" argument N (and the
// following "%s" argument N + 1), "%%" is a percent sign. A missing argument is empty text.
void AppendFormatted(String& out, const char16_t* form, const std::vector<String>& args) {
    std::size_t next = 0;
    for (const char16_t* p = form; *p != u'\0'; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const char16_t* directive = p + 1;
        if (*directive == u'%') {
            out += u'%';
            p = directive;
            continue;
        }
        std::size_t index = next;
        const char16_t* q = directive;
        if (*q >= u'0' && *q <= u'9') {
            std::size_t number = 0;
            while (*q >= u'0' && *q <= u'9') {
                number = number * 10 + std::size_t(*q - u'0');
                ++q;
            }
            if (*q == u':') {
                index = number;
                ++q;
            } else {
                q = directive;  // not an index: no form this code knows
            }
        }
        if (*q != u's') {
            out += *p;  // not a form: copied as written
            continue;
        }
        if (index < args.size()) {
            out += args[index];
        }
        next = index + 1;
        p = q;
    }
}

const TUniMacro* FindMacro(const TUniMacros& macros, StringView name) noexcept {
    for (const TUniMacro& macro : macros) {
        if (platform::AsciiSameText(macro.Name, name)) {
            return &macro;
        }
    }
    return nullptr;
}

class TTranslator {
public:
    TTranslator(StringView text, const TUniSqlFormatter& formatter,
                const TUniMacros& connectionMacros)
        : FFormatter(formatter),
          FConnectionMacros(connectionMacros),
          FParser(formatter.CreateParser(text)) {
        FParser->SetOmitBlank(false);
        FParser->SetOmitComment(false);
        FParser->SetUppered(false);
        FParser->SetQuotedString(true);
        FOut.reserve(text.size());
    }

    String Run();

private:
    // One open {if}: whether the text around it is kept, its condition and whether {else} came.
    struct TIf {
        bool OuterActive;
        bool Condition;
        bool InElse;
    };

    bool Active() const noexcept { return FActive; }
    void UpdateActive() noexcept;

    int Next() { return FParser->GetNextToken(); }
    int NextNonBlank();
    bool IsChar(int token, char16_t ch) const noexcept;
    bool IsWord(int token) const noexcept;

    void Construct();
    // The name after a keyword: "Empty macro or function name" when the construct ends there
    // (or, with parenthesis, when an argument list comes instead).
    String ReadName(bool parenthesis = false);
    void ExpectClose();
    void Function();
    void Literal(const char16_t* form);
    void Macro(const String& name);
    void QuotedIdent(const String& lexem);
    void Comment(const String& lexem);

    const String* MacroValue(StringView name) const noexcept;

    const TUniSqlFormatter& FFormatter;
    const TUniMacros& FConnectionMacros;
    std::unique_ptr<TParser> FParser;
    std::vector<TIf> FIfs;
    bool FActive = true;
    String FOut;
};

String TTranslator::Run() {
    for (;;) {
        const int token = Next();
        if (token == lcEnd) {
            break;
        }
        if (IsChar(token, u'{')) {
            Construct();
            continue;
        }
        if (!Active()) {
            continue;
        }
        const String& lexem = FParser->Lexem();
        if (token == lcIdent && !lexem.empty() && lexem.front() == u'"') {
            QuotedIdent(lexem);
        } else if (token == lcComment && lexem.starts_with(u"--")) {
            Comment(lexem);
        } else {
            FOut += lexem;
        }
    }
    if (!FIfs.empty()) {
        Raise(IfNotCompleted);
    }
    return std::move(FOut);
}

void TTranslator::UpdateActive() noexcept {
    if (FIfs.empty()) {
        FActive = true;
        return;
    }
    const TIf& last = FIfs.back();
    FActive = last.OuterActive && (last.InElse ? !last.Condition : last.Condition);
}

int TTranslator::NextNonBlank() {
    int token = Next();
    while (token == lcBlank) {
        token = Next();
    }
    return token;
}

bool TTranslator::IsChar(int token, char16_t ch) const noexcept {
    if (token != lcSymbol && token <= 0) {
        return false;
    }
    const String& lexem = FParser->Lexem();
    return lexem.size() == 1 && lexem.front() == ch;
}

bool TTranslator::IsWord(int token) const noexcept {
    // Keywords come with their own codes, symbols of the symbol list with positive codes too.
    if (token != lcIdent && token <= 0) {
        return false;
    }
    const String& lexem = FParser->Lexem();
    if (lexem.empty()) {
        return false;
    }
    const char16_t ch = lexem.front();
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || ch == u'_' || ch >= 128;
}

void TTranslator::Construct() {
    const int token = NextNonBlank();
    if (token == lcEnd) {
        Raise(UnexpectedCharacter);
    }
    if (IsChar(token, u'}')) {
        Raise(EmptyName);
    }
    if (!IsWord(token)) {
        Raise(UnexpectedCharacter);
    }
    const String keyword = FParser->Lexem();

    if (platform::AsciiSameText(keyword, u"if")) {
        const String name = ReadName();
        ExpectClose();
        // In a dropped branch the condition is not looked at.
        const bool condition =
            Active() && (FindMacro(FConnectionMacros, name) != nullptr ||
                         FindMacro(FFormatter.ProviderMacros(), name) != nullptr);
        FIfs.push_back({Active(), condition, false});
        UpdateActive();
        return;
    }
    if (platform::AsciiSameText(keyword, u"else")) {
        if (FIfs.empty() || FIfs.back().InElse) {
            Raise(UnexpectedElse);
        }
        ExpectClose();
        FIfs.back().InElse = true;
        UpdateActive();
        return;
    }
    if (platform::AsciiSameText(keyword, u"endif")) {
        if (FIfs.empty()) {
            Raise(UnexpectedEndif);
        }
        ExpectClose();
        FIfs.pop_back();
        UpdateActive();
        return;
    }
    if (platform::AsciiSameText(keyword, u"fn")) {
        Function();
        return;
    }
    if (const char16_t* form = FFormatter.LiteralFormat(keyword)) {
        Literal(form);
        return;
    }
    Macro(keyword);
}

String TTranslator::ReadName(bool parenthesis) {
    const int token = NextNonBlank();
    if (token == lcEnd) {
        Raise(UnexpectedCharacter);
    }
    if (IsChar(token, u'}') || (parenthesis && IsChar(token, u'('))) {
        Raise(EmptyName);
    }
    if (!IsWord(token)) {
        Raise(UnexpectedCharacter);
    }
    return FParser->Lexem();
}

void TTranslator::ExpectClose() {
    if (!IsChar(NextNonBlank(), u'}')) {
        Raise(UnexpectedCharacter);
    }
}

void TTranslator::Function() {
    const String name = ReadName(true);
    std::vector<String> args;
    bool hasArgs = false;
    int token = NextNonBlank();
    if (IsChar(token, u'(')) {
        hasArgs = true;
        // Arguments end at commas and the closing parenthesis outside parentheses and nested
        // constructs; strings, quoted names and comments are single tokens.
        String arg;
        int parens = 0;
        int braces = 0;
        for (;;) {
            token = Next();
            if (token == lcEnd) {
                Raise(UnexpectedCharacter);
            }
            if (IsChar(token, u'(')) {
                ++parens;
            } else if (IsChar(token, u')')) {
                if (parens > 0) {
                    --parens;
                } else if (braces == 0) {
                    args.push_back(std::move(arg));
                    break;
                }
            } else if (IsChar(token, u'{')) {
                ++braces;
            } else if (IsChar(token, u'}')) {
                if (braces == 0) {
                    Raise(UnexpectedCharacter);
                }
                --braces;
            } else if (IsChar(token, u',') && parens == 0 && braces == 0) {
                args.push_back(std::move(arg));
                arg.clear();
                continue;
            }
            arg += FParser->Lexem();
        }
        token = NextNonBlank();
    }
    if (!IsChar(token, u'}')) {
        Raise(UnexpectedCharacter);
    }
    if (!Active()) {
        return;
    }

    for (String& arg : args) {
        arg = TranslateUniSql(platform::Trim(arg), FFormatter, FConnectionMacros);
    }
    if (const char16_t* form = FFormatter.FunctionFormat(name)) {
        AppendFormatted(FOut, form, args);
        return;
    }
    FOut += name;
    if (hasArgs) {
        FOut += u'(';
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (i > 0) {
                FOut += u", ";
            }
            FOut += args[i];
        }
        FOut += u')';
    }
}

void TTranslator::Literal(const char16_t* form) {
    if (NextNonBlank() != lcString) {
        Raise(UnexpectedCharacter);
    }
    const String value = FParser->Lexem();  // with its quotes
    ExpectClose();
    if (Active()) {
        AppendFormatted(FOut, form, {value});
    }
}

void TTranslator::Macro(const String& name) {
    ExpectClose();
    if (!Active()) {
        return;
    }
    if (const String* value = MacroValue(name)) {
        FOut += *value;
    }
}

const String* TTranslator::MacroValue(StringView name) const noexcept {
    // A connection macro overrides the provider's of the same name.
    if (const TUniMacro* macro = FindMacro(FConnectionMacros, name)) {
        return &macro->Value;
    }
    if (const TUniMacro* macro = FindMacro(FFormatter.ProviderMacros(), name)) {
        return &macro->Value;
    }
    return nullptr;
}

void TTranslator::QuotedIdent(const String& lexem) {
    // An unterminated name runs to the end of the text; it is left as written.
    if (lexem.size() < 2 || lexem.back() != u'"') {
        FOut += lexem;
        return;
    }
    const auto [open, close] = FFormatter.IdentQuotes();
    FOut += open;
    for (std::size_t i = 1; i + 1 < lexem.size(); ++i) {
        // The closing quote inside the name is doubled, as the provider reads it.
        if (lexem[i] == close) {
            FOut += close;
        }
        FOut += lexem[i];
    }
    FOut += close;
}

void TTranslator::Comment(const String& lexem) {
    const StringView body = StringView(lexem).substr(2);
    if (body.find(u"*/") != StringView::npos) {
        FOut += lexem;
        return;
    }
    FOut += u"/*";
    FOut += body;
    FOut += u"*/";
}

}  // namespace

String TranslateUniSql(StringView text, const TUniSqlFormatter& formatter,
                       const TUniMacros& connectionMacros) {
    if (!NeedsTranslation(text)) {
        return String(text);
    }
    return TTranslator(text, formatter, connectionMacros).Run();
}

}  // namespace data_access
