#pragma once
#include "low/Base.h"

struct Top : Base {};
