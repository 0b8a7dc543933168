#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "data_access/parser.h"

namespace lexer_test {

// SQL symbol codes.
constexpr int Star = 1, Equals = 2, Colon = 3, Comma = 4, Dot = 5, Slash = 6, Semicolon = 7;

// Printable ASCII as is, everything else as \uXXXX.
inline std::string Show(std::u16string_view text) {
    std::string shown;
    for (const char16_t ch : text) {
        if (ch >= 32 && ch < 127) {
            shown += char(ch);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(ch));
            shown += escaped;
        }
    }
    return shown;
}

struct Token {
    int Code;
    std::u16string Lexem;
    bool operator==(const Token&) const = default;
};

inline void PrintTo(const Token& token, std::ostream* out) {
    *out << "{" << token.Code << ", \"" << Show(token.Lexem) << "\"}";
}

// Every token up to the end; a lexer that stops making progress fails instead of hanging.
inline std::vector<Token> Tokens(data_access::TParser& parser) {
    std::vector<Token> tokens;
    for (int guard = 0; guard < 10000; ++guard) {
        std::u16string lexem;
        const int code = parser.GetNext(lexem);
        if (code == data_access::lcEnd) {
            return tokens;
        }
        tokens.push_back({code, lexem});
    }
    ADD_FAILURE() << "no end of text";
    return tokens;
}

struct LexCase {
    std::u16string_view Text;
    std::vector<Token> Expected;
};

}  // namespace lexer_test
