#include "data_access/cr_record_set.h"

#include "platform/exceptions.h"

namespace data_access {

TCRTableInfo* TCRTablesInfo::FindByAlias(platform::StringView alias) const {
    for (const auto& table : FItems) {
        if (platform::AsciiSameText(table->TableAlias, alias)) {
            return table.get();
        }
    }
    return nullptr;
}

TCRTableInfo& TCRTablesInfo::Add() {
    return *FItems.emplace_back(std::make_unique<TCRTableInfo>());
}

TCRRecordSet::~TCRRecordSet() = default;

void TCRRecordSet::SetCommand(std::unique_ptr<TCRCommand> command) {
    FCommand = std::move(command);
}

void TCRRecordSet::SetConnection(TCRConnection* connection) {
    FCommand->SetConnection(connection);
}

void TCRRecordSet::SetSQL(platform::StringView text) {
    FCommand->SetSQL(text);
}

bool TCRRecordSet::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prUniDirectional:
            FUniDirectional = value.AsBoolean();
            if (FUniDirectional) {
                FFetchAll = false;
            }
            return true;
        case prFetchRows: {
            const int rows = value.AsInteger();
            if (rows < 1 || rows > 65535) {
                throw platform::EDatabaseError("Invalid FetchRows value");
            }
            FFetchRows = rows;
            return true;
        }
        case prFetchAll:
            // A unidirectional record set never fetches all.
            if (!FLockFetchAll && !FUniDirectional) {
                FFetchAll = value.AsBoolean();
            }
            return true;
        case prLongStrings:
            FLongStrings = value.AsBoolean();
            return true;
        case prFlatBuffers:
            FFlatBuffers = value.AsBoolean();
            return true;
        case prIndexFieldNames:
            FIndexFieldNames = value.AsString();
            return true;
        case prReadOnly:
            FReadOnly = value.AsBoolean();
            return true;
        case prLockFetchAll:
            FLockFetchAll = value.AsBoolean();
            return true;
        case prExtendedFieldsInfo:
            FExtendedFieldsInfo = value.AsBoolean();
            return true;
        case prDefaultValues:
            FDefaultValues = value.AsBoolean();
            return true;
        case prFieldsOrigin:
            FFieldsOrigin = value.AsBoolean();
            return true;
        case prRoAfterUpdate:
            FRoAfterUpdate = value.AsBoolean();
            return true;
        case prEncryptedFields:
            FEncryptedFields = value.AsString();
            return true;
        default:
            return FCommand->SetProp(prop, value);
    }
}

bool TCRRecordSet::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prUniDirectional:
            value = FUniDirectional;
            return true;
        case prFetchRows:
            value = FFetchRows;
            return true;
        case prFetchAll:
            value = FFetchAll;
            return true;
        case prRowsFetched:
            value = FRecordCount;
            return true;
        case prLongStrings:
            value = FLongStrings;
            return true;
        case prFlatBuffers:
            value = FFlatBuffers;
            return true;
        case prIndexFieldNames:
            value = FIndexFieldNames;
            return true;
        case prReadOnly:
            value = FReadOnly;
            return true;
        case prLockFetchAll:
            value = FLockFetchAll;
            return true;
        default:
            return FCommand->GetProp(prop, value);
    }
}

void TCRRecordSet::InternalOpen() {
    FNoData = false;
    ExecFetch(false);
}

void TCRRecordSet::ExecFetch(bool disableInitFields) {
    ExecCommand();
    if (!disableInitFields && (!FPrepared || FFields.Count() == 0 || NeedInitFieldsOnFetch())) {
        InitFields();
    }
    if (FFetchAll) {
        FetchAll();
    } else {
        Fetch(false);
    }
}

void TCRRecordSet::FetchAll() {
    while (Fetch(false)) {
    }
}

void TCRRecordSet::BreakFetch() {
    FWaitForFetchBreak = true;
}

bool TCRRecordSet::CanDisconnect() {
    const TCursorState state = FCommand->GetCursorState();
    return state == csInactive || state == csFetched;
}

void TCRRecordSet::DoBeforeFetch(bool& cancel) {
    if (OnBeforeFetch) {
        OnBeforeFetch(cancel);
    }
}

void TCRRecordSet::DoAfterFetch() {
    if (OnAfterFetch) {
        OnAfterFetch();
    }
}

}  // namespace data_access
