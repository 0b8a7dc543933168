#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "data_access/cr_props.h"
#include "platform/text.h"

namespace data_access {

enum class TOptionKind { Integer, String, Boolean, Enumeration };

// The provider objects an option is handed to (bit flags).
enum TOptionTarget : unsigned {
    otConnection = 1,
    otCommand = 2,
    otRecordSet = 4,
    otConnectDialog = 8,
    otDataSetService = 16,
};

// One provider option: its name, kind, default, the objects it applies to and the property
// number it is handed to them under.
struct TOption {
    platform::String Name;
    TOptionKind Kind = TOptionKind::String;
    // Integer, String and Boolean options: a TPropValue of that kind; Enumeration: the integer
    // index into Values.
    TPropValue Default;
    unsigned Targets = 0;
    int Prop = 0;
    // The names of an enumeration's values, in order.
    std::vector<platform::String> Values;
};

// One table of a provider's options.
class TOptionsList {
public:
    TOptionsList(std::initializer_list<TOption> options) : FOptions(options) {}

    const std::vector<TOption>& Options() const noexcept { return FOptions; }
    // By name, ignoring a to z case; nullptr when the table has none.
    const TOption* Find(platform::StringView name) const;

private:
    std::vector<TOption> FOptions;
};

// A line "Provider.Name=Value" split: split at its first "." and its first "="; with both and the
// "." first, the prefix is the text before the ".", else there is no prefix.
struct TOptionLine {
    platform::String Prefix;
    platform::String Name;
    platform::String Value;
};
TOptionLine ParseOptionLine(platform::StringView line);

// The value of a line converted for the option: integers and booleans trimmed, booleans "True" or
// "False" (a to z case ignored, true only for "True"), enumerations a value name ignoring case
// (its index). Anything else raises EDatabaseError "Invalid value: <value> for option <name>".
TPropValue ConvertOptionValue(const TOption& option, platform::StringView value);

// Hands every option of the table that applies to target to setProp: the value of the first line
// whose prefix is empty or the provider's name (ignoring case) and whose name is the option's
// (ignoring case), else the option's default. Lines of other providers and of unknown options
// are ignored.
void ApplyOptions(const TOptionsList& options, unsigned target, platform::StringView providerName,
                  const std::vector<platform::String>& lines,
                  const std::function<void(int prop, const TPropValue& value)>& setProp);

// A component's provider option lines. A line added or put without a provider prefix (no "."
// before its first "=") gets the current provider's name and "." in front; without a provider
// that raises EDatabaseError "Provider is not defined". OnChange runs after every change.
class TSpecificOptionsList {
public:
    explicit TSpecificOptionsList(std::function<platform::String()> providerName)
        : FProviderName(std::move(providerName)) {}

    void Clear();
    int Add(platform::StringView line);
    void Put(int index, platform::StringView line);
    int Count() const noexcept { return int(FLines.size()); }
    // Raises EArgumentException "List index out of bounds (%d)" outside the list.
    const platform::String& operator[](int index) const;
    const std::vector<platform::String>& Lines() const noexcept { return FLines; }
    // The value of the first line of that name (ignoring a to z case); a name without "." also
    // matches the name with the current provider's prefix. Empty when there is none.
    platform::String Values(platform::StringView name) const;

    std::function<void()> OnChange;

private:
    platform::String WithPrefix(platform::StringView line) const;

    std::function<platform::String()> FProviderName;
    std::vector<platform::String> FLines;
};

}  // namespace data_access
