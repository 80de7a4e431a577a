#include "server/Dispatcher.h"
namespace server {
void registerRdmCopiarInq(Dispatcher&) {}
}
