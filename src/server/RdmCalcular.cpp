#include "server/Dispatcher.h"
namespace server {
void registerRdmCalcular(Dispatcher&) {}
}
