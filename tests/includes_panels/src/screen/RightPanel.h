#pragma once
struct RightPanel {};
