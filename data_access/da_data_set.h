#pragma once

#include <memory>

#include "data_access/component.h"
#include "data_access/cr_record_set.h"
#include "data_access/da_connection.h"
#include "data_access/da_sql.h"
#include "data_access/mem_data_set.h"
#include "data_access/uni_options.h"

namespace data_access {

// The generic options of a data set component.
struct TDADataSetOptions {
    bool TrimFixedChar = true;
    bool TrimVarChar = false;
    bool LongStrings = true;
};

// The query component: a statement text run on a connection component, its rows held in memory
// with the first one current from the moment it opens.
class TCustomDADataSet : public TMemDataSet, public TComponent, private TDAConnectionClient {
public:
    explicit TCustomDADataSet(platform::String name = {});
    ~TCustomDADataSet() override;

    TCustomDAConnection* Connection() const noexcept { return FCommand.Connection(); }
    void SetConnection(TCustomDAConnection* connection);

    // The statement text of the internal command. Any change closes an open query, so that
    // opening it again runs the statement again.
    platform::TStringList& SQL() noexcept { return FCommand.SQL(); }
    TCustomDASQL& GetSQLCommand() noexcept { return FCommand; }
    TMacros& Macros() noexcept { return FCommand.Macros(); }
    platform::String FinalSQL() const { return FCommand.FinalSQL(); }
    // Provider option lines of the data set (for MySQL, FetchAll is on unless they say
    // otherwise).
    TSpecificOptionsList& SpecificOptions() noexcept { return FSpecificOptions; }

    // Rows per fetch when not all rows are read at opening.
    int FetchRows = 25;
    bool UniDirectional = false;
    bool ReadOnly = false;
    TDADataSetOptions Options;

    // While loading, only recorded.
    void SetActive(bool value) override;
    void Loaded() override;

    // Rows the statement processed, -1 when the provider reports no count.
    int RowsAffected();

protected:
    void InternalOpen() override;
    void InternalClose() override;

private:
    void ConnectChange(bool connecting) override;
    void ConnectionDestroyed() noexcept override;
    void SQLChanged();
    // Closes an open data set (a value read from a resource is not a wish to close).
    void CloseForChange();
    // The provider record set for the connection's current provider object, set up.
    TCRRecordSet& CheckRecordSet(TCustomDAConnection& connection);
    TCRRecordSet& RecordSet() const { return static_cast<TCRRecordSet&>(Data()); }
    void ReleaseConnection() noexcept;

    TCustomDASQL FCommand;
    TSpecificOptionsList FSpecificOptions;
    bool FOptionsChanged = true;
    // The provider connection the record set was made for.
    TCRConnection* FRecordSetConnection = nullptr;
    // The open holds the connection (its connect count).
    TCustomDAConnection* FHeldConnection = nullptr;
    bool FStreamedActive = false;
};

}  // namespace data_access
