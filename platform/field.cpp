#include "platform/field.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/date_time.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace platform {

TField::TField(TDataSet& dataSet, const TFieldDef& def)
    : FDataSet(dataSet),
      FFieldName(def.Name),
      FFieldNo(def.FieldNo),
      FDataType(def.DataType),
      FSize(def.Size) {}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

bool TField::GetData(void* buffer) const {
    return FDataSet.ActiveBuffer() && FDataSet.GetFieldData(*this, buffer);
}

namespace {

// A field whose value text comes from its native bytes.
class TValueField : public TField {
public:
    using TField::TField;

    String AsString() const final {
        std::vector<std::uint8_t> value(DataSize());
        return GetData(value.data()) ? Text(value.data()) : String();
    }

protected:
    virtual String Text(const std::uint8_t* value) const = 0;
};

template <typename T>
T Load(const std::uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// 8-bit text, zero-terminated within Size characters.
class TStringField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return std::size_t(Size()) + 1; }
    String Text(const std::uint8_t* value) const override {
        const char* text = reinterpret_cast<const char*>(value);
        return AnsiToUtf16(std::string_view(text, strnlen(text, std::size_t(Size()))));
    }
};

// UTF-16 text, zero-terminated within Size units.
class TWideStringField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return (std::size_t(Size()) + 1) * sizeof(char16_t); }
    String Text(const std::uint8_t* value) const override {
        String text(std::size_t(Size()), u'\0');
        std::memcpy(text.data(), value, text.size() * sizeof(char16_t));
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        return text;
    }
};

// Whole numbers of every width; T is the stored form.
template <typename T>
class TIntegerKindField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(T); }
    String Text(const std::uint8_t* value) const override {
        return IntToStr(std::int64_t(Load<T>(value)));
    }
};

// Stored as a 16-bit word: 0 is false, anything else true.
class TBooleanField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(std::int16_t); }
    String Text(const std::uint8_t* value) const override {
        return Load<std::int16_t>(value) != 0 ? u"True" : u"False";
    }
};

class TFloatField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(double); }
    String Text(const std::uint8_t* value) const override {
        return FloatToStr(Load<double>(value));
    }
};

// A 64-bit count of ten-thousandths, shown with the digits it needs.
class TBCDField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(std::int64_t); }
    String Text(const std::uint8_t* value) const override {
        const std::int64_t units = Load<std::int64_t>(value);
        const std::uint64_t magnitude = units < 0 ? 0 - std::uint64_t(units) : std::uint64_t(units);
        String text = IntToStr(std::int64_t(magnitude / 10000));
        if (units < 0) {
            text.insert(text.begin(), u'-');
        }
        std::uint64_t fraction = magnitude % 10000;
        if (fraction != 0) {
            String digits;
            for (int i = 0; i < 4; ++i, fraction /= 10) {
                digits.insert(digits.begin(), char16_t(u'0' + fraction % 10));
            }
            text += FormatSettings().DecimalSeparator;
            text += digits.substr(0, digits.find_last_not_of(u'0') + 1);
        }
        return text;
    }
};

// The date stamp: days since 0001-01-01, plus one.
class TDateField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(std::int32_t); }
    String Text(const std::uint8_t* value) const override {
        return DateToStr(TimeStampToDateTime({0, Load<std::int32_t>(value)}));
    }
};

// Milliseconds since midnight.
class TTimeField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(std::int32_t); }
    String Text(const std::uint8_t* value) const override {
        return TimeToStr(TimeStampToDateTime({Load<std::int32_t>(value), DateDelta}));
    }
};

// The date stamp's day number × 86400000 plus the milliseconds of the day.
class TDateTimeField final : public TValueField {
public:
    using TValueField::TValueField;

protected:
    std::size_t DataSize() const override { return sizeof(double); }
    String Text(const std::uint8_t* value) const override {
        const auto msecs = std::int64_t(Load<double>(value));
        const TTimeStamp stamp{std::int32_t(msecs % MSecsPerDay),
                               std::int32_t(msecs / MSecsPerDay)};
        return DateTimeToStr(TimeStampToDateTime(stamp));
    }
};

// Raw bytes: Size of them, or a 16-bit length and up to Size of them.
class TBytesField final : public TValueField {
public:
    TBytesField(TDataSet& dataSet, const TFieldDef& def, bool counted)
        : TValueField(dataSet, def), FCounted(counted) {}

protected:
    std::size_t DataSize() const override {
        return std::size_t(Size()) + (FCounted ? sizeof(std::uint16_t) : 0);
    }
    String Text(const std::uint8_t* value) const override {
        std::size_t length = std::size_t(Size());
        if (FCounted) {
            length = std::min<std::size_t>(Load<std::uint16_t>(value), length);
            value += sizeof(std::uint16_t);
        }
        return AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(value), length));
    }

private:
    bool FCounted;
};

// Large values, read whole through the data set's blob stream.
class TBlobField final : public TField {
public:
    using TField::TField;

    String AsString() const override {
        if (IsNull()) {
            return {};
        }
        std::unique_ptr<TStream> stream =
            DataSet().CreateBlobStream(*this, TBlobStreamMode::bmRead);
        std::string bytes(std::size_t(stream->Size()), '\0');
        bytes.resize(stream->Read(bytes.data(), bytes.size()));
        if (DataType() != TFieldType::ftWideMemo) {
            return AnsiToUtf16(bytes);
        }
        String text(bytes.size() / sizeof(char16_t), u'\0');
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
        return text;
    }

protected:
    std::size_t DataSize() const override { return 0; }
};

}  // namespace

std::unique_ptr<TField> CreateField(TDataSet& dataSet, const TFieldDef& def) {
    switch (def.DataType) {
        case TFieldType::ftString:
            return std::make_unique<TStringField>(dataSet, def);
        case TFieldType::ftWideString:
            return std::make_unique<TWideStringField>(dataSet, def);
        case TFieldType::ftShortint:
        case TFieldType::ftSmallint:
            return std::make_unique<TIntegerKindField<std::int16_t>>(dataSet, def);
        case TFieldType::ftByte:
        case TFieldType::ftWord:
            return std::make_unique<TIntegerKindField<std::uint16_t>>(dataSet, def);
        case TFieldType::ftInteger:
            return std::make_unique<TIntegerKindField<std::int32_t>>(dataSet, def);
        case TFieldType::ftLongWord:
            return std::make_unique<TIntegerKindField<std::uint32_t>>(dataSet, def);
        case TFieldType::ftLargeint:
            return std::make_unique<TIntegerKindField<std::int64_t>>(dataSet, def);
        case TFieldType::ftBoolean:
            return std::make_unique<TBooleanField>(dataSet, def);
        case TFieldType::ftFloat:
            return std::make_unique<TFloatField>(dataSet, def);
        case TFieldType::ftBCD:
            return std::make_unique<TBCDField>(dataSet, def);
        case TFieldType::ftDate:
            return std::make_unique<TDateField>(dataSet, def);
        case TFieldType::ftTime:
            return std::make_unique<TTimeField>(dataSet, def);
        case TFieldType::ftDateTime:
            return std::make_unique<TDateTimeField>(dataSet, def);
        case TFieldType::ftBytes:
            return std::make_unique<TBytesField>(dataSet, def, false);
        case TFieldType::ftVarBytes:
            return std::make_unique<TBytesField>(dataSet, def, true);
        case TFieldType::ftBlob:
        case TFieldType::ftMemo:
        case TFieldType::ftWideMemo:
            return std::make_unique<TBlobField>(dataSet, def);
        default:
            throw EDatabaseError("Data type is not supported");
    }
}

}  // namespace platform
