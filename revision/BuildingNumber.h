#pragma once
#include "runtime/Variant.h"

#include <cstdint>

// A building number as the run reads it: the value's text, its leading number
// (Val rules), rounded half to even into 32 bits; error 6 outside that range.
std::int32_t BuildingNumber(const vb::Variant& value);
