#include "server/Dispatcher.h"
namespace server {
void registerRdmPlaInqNutr(Dispatcher&) {}
}
