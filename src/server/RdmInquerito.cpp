#include "server/Dispatcher.h"
namespace server {
void registerRdmInquerito(Dispatcher&) {}
}
