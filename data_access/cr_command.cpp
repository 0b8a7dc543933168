#include "data_access/cr_command.h"

namespace data_access {

namespace {

// A lexeme that can name a parameter: an identifier, a number or a keyword.
bool IsParamName(const TParser& parser, int code) {
    return code == lcIdent || code == lcNumber || (code > 0 && !parser.IsSymbolCode(code));
}

}  // namespace

void TCRCommand::SetSQL(platform::StringView text) {
    if (text == FUserSQL) {
        return;
    }
    FUserSQL = text;
    FSQL = FDisableParamScan ? platform::String(text) : ParseSQL(text, &FParams);
}

platform::String TCRCommand::ParseSQL(platform::StringView text, TParamDescs* params,
                                      platform::StringView renamePrefix) {
    const std::unique_ptr<TParser> parser = CreateParser(text);
    parser->SetOmitBlank(false);
    parser->SetOmitComment(true);
    parser->SetQuotedString(true);
    parser->SetDecSeparator(u'.');
    if (params) {
        params->clear();
    }
    platform::String result;
    result.reserve(text.size());
    std::size_t copied = 0;
    while (parser->ToLexem(u":")) {
        const std::size_t colonPos = parser->LexemPos();
        result.append(text.substr(copied, colonPos - copied));
        copied = ParseSQLParam(*parser, colonPos, params, renamePrefix, result);
    }
    result.append(text.substr(copied));
    return result;
}

std::size_t TCRCommand::ParseSQLParam(TParser& parser, std::size_t colonPos, TParamDescs* params,
                                      platform::StringView renamePrefix, platform::String& result) {
    std::u16string lexem;
    int code = parser.GetNext(lexem);
    const bool at = code != lcString && lexem == u"@";
    if (at) {
        code = parser.GetNext(lexem);
    }
    if ((!params && renamePrefix.empty()) || !IsParamName(parser, code)) {
        // Not a reference: the colon and what follows it stay as they were.
        return colonPos;
    }
    std::u16string_view bare = lexem;
    const auto [left, right] = IdentQuotes();
    if (bare.size() >= 2 && bare.front() == left && bare.back() == right) {
        bare = bare.substr(1, bare.size() - 2);
    }
    platform::String name = at ? u"@" : u"";
    name += bare;
    if (params) {
        TParamDesc param;
        param.Name = std::move(name);
        params->push_back(std::move(param));
        result += u'?';
    } else {
        result.append(renamePrefix);
        result += name;
    }
    return parser.CurrPos();
}

bool TCRCommand::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prCompressBlobMode:
            FCompressBlob = value.AsInteger();
            return true;
        case prEnableBCD:
            FEnableBCD = value.AsBoolean();
            return true;
        case prEnableFmtBCD:
            FEnableFMTBCD = value.AsBoolean();
            return true;
        default:
            UnknownProperty(prop);
    }
}

bool TCRCommand::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prCompressBlobMode:
            value = FCompressBlob;
            return true;
        case prEnableBCD:
            value = FEnableBCD;
            return true;
        case prEnableFmtBCD:
            value = FEnableFMTBCD;
            return true;
        default:
            UnknownProperty(prop);
    }
}

}  // namespace data_access
