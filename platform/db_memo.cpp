#include "platform/db_memo.h"

#include "platform/exceptions.h"
#include "platform/field.h"
#include "platform/format.h"
#include "platform/text_encoding.h"

namespace platform {

String TDBMemo::Text() const {
    const TField* field = FLink.Field();
    return field ? field->AsString() : String();
}

void TDBMemo::TMemoLink::ActiveChanged() {
    TFieldDataLink::ActiveChanged();
    if (Active() && !FieldName().empty() && !Field()) {
        throw EDatabaseError(Format("%s: Field '%s' not found", Utf16ToUtf8(FMemo.Name()).c_str(),
                                    Utf16ToUtf8(FieldName()).c_str()));
    }
}

}  // namespace platform
