#pragma once

#include "platform/data_source.h"
#include "platform/text.h"

namespace platform {

// A memo bound to one field of a data source's current record, never shown: its text is the
// field's display text, empty without a data source, a field name, an open data set or a
// current record, and for NULL.
class TDBMemo {
public:
    explicit TDBMemo(String name = {}) : FName(std::move(name)), FLink(*this) {}

    const String& Name() const noexcept { return FName; }
    TDataSource* DataSource() const noexcept { return FLink.DataSource(); }
    // Raises "<name>: Field '<field>' not found" when the data set is open without the field.
    void SetDataSource(TDataSource* source) { FLink.SetDataSource(source); }
    const String& DataField() const noexcept { return FLink.FieldName(); }
    void SetDataField(String name) { FLink.SetFieldName(std::move(name)); }

    String Text() const;

private:
    // Looks the field up whenever the data set opens; a field the result lacks is an error.
    class TMemoLink final : public TFieldDataLink {
    public:
        explicit TMemoLink(const TDBMemo& memo) : FMemo(memo) {}

    protected:
        void ActiveChanged() override;

    private:
        const TDBMemo& FMemo;
    };

    String FName;
    TMemoLink FLink;
};

}  // namespace platform
