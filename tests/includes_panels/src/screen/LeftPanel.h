#pragma once
#include "screen/RightPanel.h"
struct LeftPanel {};
