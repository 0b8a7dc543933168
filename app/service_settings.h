#pragma once

#include "platform/text.h"

namespace app {

// Where the service finds its database: by default the local machine's server on the provider's
// port, user root without a password, database screen.
struct TServiceSettings {
    platform::String Server = u"localhost";
    // 0: the provider's default (3306).
    int Port = 0;
    platform::String Username = u"root";
    platform::String Password;
    platform::String Database = u"screen";
    // Seconds a statement may take before it fails as a lost connection (0: no limit): a server
    // that stops answering must not hold the queue for good.
    int CommandTimeout = 30;
};

}  // namespace app
