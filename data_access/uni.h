#pragma once

#include "data_access/component.h"
#include "data_access/da_data_set.h"
#include "data_access/da_sql.h"
#include "data_access/uni_connection.h"
#include "data_access/uni_error.h"
#include "platform/data_source.h"

namespace data_access {

// The command component over a TUniConnection.
class TUniSQL : public TCustomDASQL {
public:
    using TCustomDASQL::TCustomDASQL;
};

// A data set over a TUniConnection.
class TCustomUniDataSet : public TCustomDADataSet {
public:
    using TCustomDADataSet::TCustomDADataSet;
};

// The query component over a TUniConnection.
class TUniQuery : public TCustomUniDataSet {
public:
    using TCustomUniDataSet::TCustomUniDataSet;
};

// Links one data set to the controls that show its current record.
class TUniDataSource : public platform::TDataSource, public TComponent {
public:
    using TComponent::TComponent;
};

}  // namespace data_access
