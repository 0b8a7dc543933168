#include "data_access/uni_options.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

namespace {

// A decimal integer with an optional sign that fits 32 bits; nothing otherwise.
std::optional<std::int32_t> ParseInt32(platform::StringView text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    if (pos == text.size()) {
        return std::nullopt;
    }
    const std::int64_t limit = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                        : std::int64_t(std::numeric_limits<std::int32_t>::max());
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return std::int32_t(negative ? -value : value);
}

[[noreturn]] void InvalidValue(const TOption& option, platform::StringView value) {
    throw platform::EDatabaseError("Invalid value: " + platform::Utf16ToUtf8(value) +
                                   " for option " + platform::Utf16ToUtf8(option.Name));
}

}  // namespace

const TOption* TOptionsList::Find(platform::StringView name) const {
    for (const TOption& option : FOptions) {
        if (platform::AsciiSameText(option.Name, name)) {
            return &option;
        }
    }
    return nullptr;
}

TOptionLine ParseOptionLine(platform::StringView line) {
    TOptionLine result;
    const std::size_t dot = line.find(u'.');
    const std::size_t equals = line.find(u'=');
    if (equals == platform::StringView::npos) {
        // No value: the whole line names the option.
        result.Name = platform::String(line);
        return result;
    }
    if (dot != platform::StringView::npos && dot < equals) {
        result.Prefix = platform::String(line.substr(0, dot));
        result.Name = platform::String(line.substr(dot + 1, equals - dot - 1));
    } else {
        result.Name = platform::String(line.substr(0, equals));
    }
    result.Value = platform::String(line.substr(equals + 1));
    return result;
}

TPropValue ConvertOptionValue(const TOption& option, platform::StringView value) {
    switch (option.Kind) {
        case TOptionKind::Integer:
            if (const std::optional<std::int32_t> number = ParseInt32(platform::Trim(value))) {
                return TPropValue(int(*number));
            }
            break;
        case TOptionKind::String:
            return TPropValue(platform::String(value));
        case TOptionKind::Boolean: {
            const platform::StringView trimmed = platform::Trim(value);
            if (platform::AsciiSameText(trimmed, u"True")) {
                return TPropValue(true);
            }
            if (platform::AsciiSameText(trimmed, u"False")) {
                return TPropValue(false);
            }
            break;
        }
        case TOptionKind::Enumeration:
            for (std::size_t i = 0; i < option.Values.size(); ++i) {
                if (platform::AsciiSameText(option.Values[i], value)) {
                    return TPropValue(int(i));
                }
            }
            break;
    }
    InvalidValue(option, value);
}

void ApplyOptions(const TOptionsList& options, unsigned target, platform::StringView providerName,
                  const std::vector<platform::String>& lines,
                  const std::function<void(int prop, const TPropValue& value)>& setProp) {
    std::vector<TOptionLine> parsed;
    parsed.reserve(lines.size());
    for (const platform::String& line : lines) {
        TOptionLine option = ParseOptionLine(line);
        // Lines of other providers never count.
        if (option.Prefix.empty() || platform::AsciiSameText(option.Prefix, providerName)) {
            parsed.push_back(std::move(option));
        }
    }
    for (const TOption& option : options.Options()) {
        if ((option.Targets & target) == 0) {
            continue;
        }
        const TOptionLine* found = nullptr;
        for (const TOptionLine& line : parsed) {
            if (platform::AsciiSameText(line.Name, option.Name)) {
                found = &line;
                break;
            }
        }
        if (found) {
            setProp(option.Prop, ConvertOptionValue(option, found->Value));
        } else {
            setProp(option.Prop, option.Default);
        }
    }
}

// --- TSpecificOptionsList ----------------------------------------------------------------------

void TSpecificOptionsList::Clear() {
    FLines.clear();
    if (OnChange) {
        OnChange();
    }
}

int TSpecificOptionsList::Add(platform::StringView line) {
    FLines.push_back(WithPrefix(line));
    if (OnChange) {
        OnChange();
    }
    return Count() - 1;
}

void TSpecificOptionsList::Put(int index, platform::StringView line) {
    (void)operator[](index);
    FLines[std::size_t(index)] = WithPrefix(line);
    if (OnChange) {
        OnChange();
    }
}

const platform::String& TSpecificOptionsList::operator[](int index) const {
    if (index < 0 || index >= Count()) {
        throw platform::EArgumentException("List index out of bounds (" + std::to_string(index) +
                                           ")");
    }
    return FLines[std::size_t(index)];
}

platform::String TSpecificOptionsList::Values(platform::StringView name) const {
    platform::String prefixed;
    if (name.find(u'.') == platform::StringView::npos && FProviderName) {
        const platform::String provider = FProviderName();
        if (!provider.empty()) {
            prefixed = provider + u"." + platform::String(name);
        }
    }
    for (const platform::String& line : FLines) {
        const std::size_t equals = line.find(u'=');
        if (equals == platform::String::npos) {
            continue;
        }
        const platform::StringView lineName = platform::StringView(line).substr(0, equals);
        if (platform::AsciiSameText(lineName, name) ||
            (!prefixed.empty() && platform::AsciiSameText(lineName, prefixed))) {
            return line.substr(equals + 1);
        }
    }
    return {};
}

platform::String TSpecificOptionsList::WithPrefix(platform::StringView line) const {
    const std::size_t dot = line.find(u'.');
    const std::size_t equals = line.find(u'=');
    if (dot != platform::StringView::npos && equals != platform::StringView::npos && dot < equals) {
        return platform::String(line);
    }
    const platform::String provider = FProviderName ? FProviderName() : platform::String();
    if (provider.empty()) {
        throw platform::EDatabaseError("Provider is not defined");
    }
    return provider + u"." + platform::String(line);
}

}  // namespace data_access
