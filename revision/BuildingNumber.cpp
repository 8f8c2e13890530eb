#include "revision/BuildingNumber.h"

#include "runtime/Conversion.h"

std::int32_t BuildingNumber(const vb::Variant& value) {
    return vb::CLng(vb::Val(value.toText()));
}
