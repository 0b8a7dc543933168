#include "data_access/field_desc.h"

#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

TFieldDesc& TFieldDescs::Add(std::unique_ptr<TFieldDesc> field) {
    return *FItems.emplace_back(std::move(field));
}

TFieldDesc* TFieldDescs::FindField(platform::StringView name) const {
    for (const auto& field : FItems) {
        if (platform::AsciiSameText(field->FName, name)) {
            return field.get();
        }
    }
    return nullptr;
}

TFieldDesc& TFieldDescs::FieldByName(platform::StringView name) const {
    TFieldDesc* field = FindField(name);
    if (!field) {
        throw platform::EDatabaseError("Field " + platform::Utf16ToUtf8(name) + " not found");
    }
    return *field;
}

}  // namespace data_access
