#include "host/core/Session.h"

namespace hostfw {

HostSession& session() {
    static HostSession values;
    return values;
}

} // namespace hostfw
